#include "core/catalogue/historique.h"

#include "core/store/acces.h"
#include "core/store/dates.h"
#include "core/store/format.h"

QVector<TMouvementStock> LireMouvementsStock(TdmKestravel& dm, int externe, int idProduit)
{
    TInstructionSql q = Interroger(dm.Connexion(),
                                   "SELECT DateMaj, Libelle, QuantiteOld, QuantiteNew FROM \"Transaction\""
                                   " WHERE Externe = ? AND IdProduit = ? ORDER BY DateMaj, IdTransaction",
                                   {externe, idProduit});
    QVector<TMouvementStock> r;
    while (q.Etape())
        r.push_back({LireDateHeureBase(q.Texte(0)), q.Texte(1), int(q.Entier(2)), int(q.Entier(3))});
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
