#include "app/attente.h"

#include <QCursor>
#include <QGuiApplication>

TCurseurOccupe::TCurseurOccupe(Qt::CursorShape forme) { QGuiApplication::setOverrideCursor(QCursor(forme)); }

TCurseurOccupe::~TCurseurOccupe() { QGuiApplication::restoreOverrideCursor(); }
