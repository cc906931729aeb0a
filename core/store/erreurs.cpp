#include "core/store/erreurs.h"

#include "core/store/echecs.h"

#include <QSqlError>
#include <QVariant>

void Preparer(QSqlQuery& q, const QString& sql)
{
    if (!q.prepare(sql))
        throw EDatabaseError(MessageSqlError(q.lastError()));
}

void Executer(QSqlQuery& q)
{
    if (!q.exec())
        throw EDatabaseError(MessageSqlError(q.lastError()));
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

bool Suivante(QSqlQuery& q)
{
    if (q.next())
        return true;
    if (q.lastError().isValid())
        throw EDatabaseError(MessageSqlError(q.lastError()));
    return false;
}
