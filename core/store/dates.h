#pragma once
// Text form of dates in the database: "yyyy-MM-dd HH:mm:ss.zzz".

#include <QDateTime>
#include <QString>

QString DateHeureBase(const QDateTime& d);
// Reads the database form; also accepts "yyyy-MM-dd" and "yyyy-MM-dd HH:mm:ss"
// (and a "T" between date and time). Invalid QDateTime when none fits.
QDateTime LireDateHeureBase(const QString& texte);
// The database form of a text in one of the forms LireDateHeureBase reads,
// checked field by field without going through the time zone (fast enough
// for a million rows); empty when the text is not a valid date-time.
QString NormaliserDateHeureBase(const QString& texte);
