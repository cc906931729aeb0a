#include "store/dates.h"

QString DateHeureBase(const QDateTime& d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QDateTime LireDateHeureBase(const QString& texte)
{
    QString t = texte.trimmed();
    if (t.size() > 10 && t[10] == QLatin1Char('T'))
        t[10] = QLatin1Char(' ');
    switch (t.size()) {
    case 10:
        return QDateTime(QDate::fromString(t, QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
    case 19:
        return QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case 23:
        return QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    default:
        return {};
    }
}
