#pragma once
#include <QString>
class TdmKestravel;
// Processes the host's stock request file and writes each outcome back.
void ControlerStock(TdmKestravel& dm, const QString& chemin);
