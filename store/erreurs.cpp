#include "store/erreurs.h"

#include <QSqlError>
#include <QVariant>

void Preparer(QSqlQuery& q, const QString& sql)
{
    if (!q.prepare(sql))
        throw EDatabaseError(q.lastError().text());
}

void Executer(QSqlQuery& q)
{
    if (!q.exec())
        throw EDatabaseError(q.lastError().text());
}

QSqlQuery ExecuterSql(const QSqlDatabase& db, const QString& sql, const QVariantList& valeurs)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    Preparer(q, sql);
    for (const QVariant& v : valeurs)
        q.addBindValue(v);
    Executer(q);
    return q;
}
