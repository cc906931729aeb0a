#include "core/catalogue/historique.h"

#include "core/store/dates.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"

QVector<TMouvementStock> LireMouvementsStock(TdmKestravel& dm, int externe, int idProduit)
{
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "SELECT DateMaj, Libelle, QuantiteOld, QuantiteNew FROM \"Transaction\""
                              " WHERE Externe = ? AND IdProduit = ? ORDER BY DateMaj, IdTransaction",
                              {externe, idProduit});
    QVector<TMouvementStock> r;
    while (Suivante(q))
        r.push_back(
            {LireDateHeureBase(q.value(0).toString()), q.value(1).toString(), q.value(2).toInt(), q.value(3).toInt()});
    return r;
}

QString TexteDateMouvement(const QDateTime& d)
{
    if (!d.isValid())
        return {};
    const QTime t = d.time();
    const QTime seconde(t.hour(), t.minute(), t.second());
    if (seconde == QTime(0, 0))
        return DateCourte(d.date());
    return DateCourte(d.date()) + ' ' + HeureLongue(seconde);
}
