#include "exchange/controlestock.h"

// Built with the host-exchange work; until then a request is left untouched.
void ControlerStock(TdmKestravel&, const QString&) {}
