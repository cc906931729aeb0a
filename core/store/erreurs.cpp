#include "core/store/erreurs.h"

#include "core/store/echecs.h"

#include <QSqlError>
#include <QSqlQuery>

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
