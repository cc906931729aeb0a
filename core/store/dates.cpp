#include "core/store/dates.h"

QString DateHeureBase(const QDateTime& d) { return d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")); }

QDateTime LireDateHeureBase(const QString& texte)
{
    const QString n = NormaliserDateHeureBase(texte);
    return n.isEmpty() ? QDateTime() : QDateTime::fromString(n, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString NormaliserDateHeureBase(const QString& texte)
{
    const QString t = texte.trimmed();
    const qsizetype n = t.size();
    if (n != 10 && n != 19 && n != 23)
        return {};
    // Digits where digits belong, the separators elsewhere.
    const char* const modele = "dddd-dd-dd dd:dd:dd.ddd";
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = t[i];
        const char m = modele[i];
        if (m == 'd' ? !c.isDigit() || c.unicode() > '9' : (c != QLatin1Char(m) && !(i == 10 && c == QLatin1Char('T'))))
            return {};
    }
    auto nombre = [&](int debut, int longueur) { return QStringView(t).mid(debut, longueur).toInt(); };
    const int h = n > 10 ? nombre(11, 2) : 0, mi = n > 10 ? nombre(14, 2) : 0, s = n > 10 ? nombre(17, 2) : 0;
    const int ms = n > 19 ? nombre(20, 3) : 0;
    if (!QDate::isValid(nombre(0, 4), nombre(5, 2), nombre(8, 2)) || !QTime::isValid(h, mi, s, ms))
        return {};
    QString r = t.left(10) + QLatin1Char(' ');
    r += n > 10 ? QStringView(t).mid(11, 8) : QStringView(u"00:00:00");
    r += n > 19 ? QStringView(t).mid(19, 4) : QStringView(u".000");
    return r;
}
