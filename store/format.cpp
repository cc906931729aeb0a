#include "store/format.h"

#include <QLocale>
#include <cmath>
#include <optional>

QString Montant(double valeur)
{
    if (!std::isfinite(valeur))
        valeur = 0;
    // Decimal digits of the value at 15 significant digits, then rounding half
    // away from zero at two decimals: 12.345 gives 12.35 although its binary
    // value lies just below.
    const QString e = QString::number(std::fabs(valeur), 'e', 14);   // d.dddddddddddddde±xx
    const int exposant = e.mid(e.indexOf('e') + 1).toInt();
    QString chiffres = e.left(e.indexOf('e')).remove('.');           // 15 digits
    // Position of the decimal point inside `chiffres` is exposant + 1.
    int virgule = exposant + 1;
    if (virgule < 0) {
        chiffres.prepend(QString(-virgule, '0'));
        virgule = 0;
    }
    if (chiffres.size() < virgule + 3)
        chiffres.append(QString(virgule + 3 - chiffres.size(), '0'));
    QString garde = chiffres.left(virgule + 2);
    const bool arrondir = chiffres[virgule + 2] >= '5';
    if (garde.isEmpty())
        garde = "0";
    if (arrondir) {
        int i = int(garde.size()) - 1;
        while (i >= 0 && garde[i] == '9') {
            garde[i] = '0';
            --i;
        }
        if (i < 0)
            garde.prepend('1');
        else
            garde[i] = QChar(garde[i].unicode() + 1);
    }
    while (garde.size() < 3)
        garde.prepend('0');
    QString entier = garde.left(garde.size() - 2);
    while (entier.size() > 1 && entier[0] == '0')
        entier.remove(0, 1);
    const QString decimales = garde.right(2);
    const bool negatif = valeur < 0 && (entier != "0" || decimales != "00");
    return (negatif ? QString("-") : QString()) + entier + QLocale().decimalPoint() + decimales;
}

namespace {
// Plain digits with at most one separator, as files and edits mostly hold:
// read without the locale's full parser, whose queries of the system locale
// cost more than the rest of a CSV import line. Gives the same value as the
// full path below, or nothing when the text needs that path.
std::optional<double> MontantSimple(const QString& t)
{
    const qsizetype debut = t.startsWith(QLatin1Char('-')) ? 1 : 0;
    qsizetype separateur = -1;
    for (qsizetype i = debut; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c >= u'0' && c <= u'9')
            continue;
        if (separateur < 0 && (c == u'.' || c == u',')) {
            separateur = i;
            continue;
        }
        return std::nullopt;
    }
    if (t.size() == debut || separateur == debut || separateur == t.size() - 1)
        return std::nullopt;
    const QLocale loc;
    if (separateur >= 0 && t[separateur] == QLatin1Char(',') && loc.decimalPoint() != QLatin1String(","))
        return std::nullopt;
    if (debut == 1 && loc.negativeSign() != QLatin1String("-"))
        return std::nullopt;
    QString c = t;
    if (separateur >= 0)
        c[separateur] = QLatin1Char('.');
    bool bon = false;
    const double v = QLocale::c().toDouble(c, &bon);
    return bon ? std::optional<double>(v) : std::nullopt;
}
}  // namespace

double LireMontant(const QString& texte, bool* ok)
{
    const QString t = texte.trimmed();
    if (const std::optional<double> v = MontantSimple(t)) {
        if (ok)
            *ok = true;
        return *v;
    }
    bool bon = false;
    QLocale loc;
    loc.setNumberOptions(QLocale::RejectGroupSeparator);
    double v = loc.toDouble(t, &bon);
    if (!bon)
        v = QLocale::c().toDouble(t, &bon);
    if (ok)
        *ok = bon;
    return bon ? v : 0.0;
}

double ArrondiMontant(double valeur) { return LireMontant(Montant(valeur)); }

QString DateCourte(const QDate& d) { return QLocale().toString(d, QLocale::ShortFormat); }

QDate LireDateCourte(const QString& texte)
{
    QDate d = QLocale().toDate(texte.trimmed(), QLocale::ShortFormat);
    if (!d.isValid())
        d = QLocale().toDate(texte.trimmed(), QStringLiteral("dd/MM/yyyy"));
    return d;
}

QString HeureLongue(const QTime& t)
{
    QString f = QLocale().timeFormat(QLocale::LongFormat);
    f.remove('t');
    return t.toString(f.trimmed());
}

QString Majuscules(const QString& texte) { return QLocale().toUpper(texte); }
