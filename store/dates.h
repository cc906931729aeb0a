#pragma once
// Text form of dates in the database: "yyyy-MM-dd HH:mm:ss.zzz".

#include <QDateTime>
#include <QString>

QString DateHeureBase(const QDateTime& d);
// Reads the database form; also accepts "yyyy-MM-dd" and "yyyy-MM-dd HH:mm:ss"
// (and a "T" between date and time). Invalid QDateTime when none fits.
QDateTime LireDateHeureBase(const QString& texte);
