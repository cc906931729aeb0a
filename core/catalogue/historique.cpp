#include "core/catalogue/historique.h"

#include "core/store/acces.h"
#include "core/store/dates.h"
#include "core/store/format.h"

#include <algorithm>

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

TCourbeStock CourbeStock(const QVector<TMouvementStock>& mouvements, const QDateTime& fin)
{
    TCourbeStock c;
    for (int i = 0; i < mouvements.size(); ++i) {
        const TMouvementStock& m = mouvements[i];
        if (!m.dateMaj.isValid())
            continue;
        if (c.points.isEmpty()) {
            c.premiere = m.dateMaj;
            c.plusBas = m.quantiteNew;
            c.points.push_back({m.dateMaj, m.quantiteOld, i});
        } else {
            // The level held until this movement, then the one it left.
            c.points.push_back({m.dateMaj, c.actuel, i});
        }
        c.points.push_back({m.dateMaj, m.quantiteNew, i});
        c.plusBas = std::min(c.plusBas, m.quantiteNew);
        c.actuel = m.quantiteNew;
        c.derniere = m.dateMaj;
    }
    if (!c.points.isEmpty() && fin > c.derniere)
        c.points.push_back({fin, c.actuel, -1});
    return c;
}

int MouvementA(const TCourbeStock& courbe, const QDateTime& date)
{
    int mouvement = -1;
    for (const TPointStock& p : courbe.points) {
        if (p.date > date)
            break;
        if (p.mouvement >= 0)
            mouvement = p.mouvement;
    }
    return mouvement;
}

QString ResumeCourbeStock(const TCourbeStock& courbe, int stockMini)
{
    if (courbe.Vide())
        return QStringLiteral("Aucun mouvement");
    QString r = QStringLiteral("Stock du %1 au %2 : le plus bas %3, actuel %4")
                    .arg(DateCourte(courbe.premiere.date()), DateCourte(courbe.derniere.date()))
                    .arg(courbe.plusBas)
                    .arg(courbe.actuel);
    if (stockMini > 0)
        r += QStringLiteral(", minimum %1").arg(stockMini);
    return r + '.';
}

QString TexteMouvement(const TMouvementStock& m)
{
    return QStringLiteral("%1 — %2 : %3 → %4")
        .arg(TexteDateMouvement(m.dateMaj), m.libelle)
        .arg(m.quantiteOld)
        .arg(m.quantiteNew);
}

int LireStockMini(TdmKestravel& dm, int externe, int idProduit)
{
    TInstructionSql q = Interroger(dm.Connexion(),
                                   "SELECT StockMini FROM Produit WHERE Externe = ? AND IdProduit = ?"
                                   " ORDER BY IdProduitType",
                                   {externe, idProduit});
    return q.Etape() ? int(q.Entier(0)) : 0;
}
