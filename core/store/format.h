#pragma once
// Regional formats shared by every window, mode and file: all go through
// QLocale() (the user's settings).

#include <QDate>
#include <QString>
#include <QTime>

// Amount with the pattern "0.00": at least one integer digit, two decimals
// rounded half away from zero on the value's 15 significant digits, the
// locale's decimal separator, no group separator.
QString Montant(double valeur);
// Reads an amount typed or formatted in the locale (the C form "12.5" too).
double LireMontant(const QString& texte, bool* ok = nullptr);
// The value as stored by the editor and the duplication: through "0.00".
double ArrondiMontant(double valeur);

QString DateCourte(const QDate& d);
QDate LireDateCourte(const QString& texte);
QString HeureLongue(const QTime& t);

// Upper-casing for comparisons, locale aware.
QString Majuscules(const QString& texte);
