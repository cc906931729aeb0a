#include "core/store/format.h"

#include <QLocale>
#include <QVarLengthArray>
#include <cmath>
#include <cstdlib>
#include <optional>

QString Montant(double valeur)
{
    if (!std::isfinite(valeur))
        valeur = 0;
    // Decimal digits of the value at 15 significant digits, then rounding half
    // away from zero at two decimals: 12.345 gives 12.35 although its binary
    // value lies just below. Worked on in a local buffer: a CSV export formats
    // millions of amounts.
    const QByteArray e = QString::number(std::fabs(valeur), 'e', 14).toLatin1();  // d.dddddddddddddde±xx
    const qsizetype posE = e.indexOf('e');
    const int exposant = std::atoi(e.constData() + posE + 1);
    QVarLengthArray<char, 64> chiffres;  // the 15 digits without the point
    for (qsizetype i = 0; i < posE; ++i)
        if (e[i] != '.')
            chiffres.append(e[i]);
    // Position of the decimal point inside `chiffres` is exposant + 1.
    int virgule = exposant + 1;
    if (virgule < 0) {
        chiffres.insert(chiffres.begin(), -virgule, '0');
        virgule = 0;
    }
    while (chiffres.size() < virgule + 3)
        chiffres.append('0');
    // The digits kept: the integer part and two decimals.
    QVarLengthArray<char, 64> garde(chiffres.begin(), chiffres.begin() + virgule + 2);
    if (chiffres[virgule + 2] >= '5') {
        qsizetype i = garde.size() - 1;
        while (i >= 0 && garde[i] == '9') {
            garde[i] = '0';
            --i;
        }
        if (i < 0)
            garde.insert(garde.begin(), '1');
        else
            ++garde[i];
    }
    while (garde.size() < 3)
        garde.insert(garde.begin(), '0');
    const qsizetype finEntier = garde.size() - 2;
    qsizetype debut = 0;
    while (finEntier - debut > 1 && garde[debut] == '0')
        ++debut;
    const bool nul =
        finEntier - debut == 1 && garde[debut] == '0' && garde[finEntier] == '0' && garde[finEntier + 1] == '0';
    QString r;
    if (valeur < 0 && !nul)
        r += QLatin1Char('-');
    r += QLatin1StringView(garde.data() + debut, finEntier - debut);
    r += QLocale().decimalPoint();
    r += QLatin1StringView(garde.data() + finEntier, 2);
    return r;
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
