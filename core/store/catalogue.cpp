#include "core/store/catalogue.h"

#include "core/store/dates.h"
#include "core/store/dialecte.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"

QVector<TLigneCategorie> LireCategories(TdmKestravel& dm)
{
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "SELECT Externe, IdProduitType, IdParent, Libelle FROM ProduitType"
                              " ORDER BY Externe, IdProduitType");
    QVector<TLigneCategorie> lignes;
    while (Suivante(q))
        lignes.push_back({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(), q.value(3).toString()});
    return lignes;
}

std::optional<TProduit> LireProduit(TdmKestravel& dm, int externe, int idProduit, int idProduitType)
{
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "SELECT CodeExport, Libelle, Description, DateCreation, PrixAchatHT, PrixTarifHT,"
                              " PrixVenteHT, Reference, Lien, Stock, StockMini FROM Produit"
                              " WHERE Externe = ? AND IdProduit = ? AND IdProduitType = ?",
                              {externe, idProduit, idProduitType});
    if (!Suivante(q))
        return std::nullopt;
    TProduit p;
    p.SetExterne(externe);
    p.SetIdProduit(idProduit);
    p.SetIdProduitType(idProduitType);
    p.SetCodeExport(q.value(0).toString());
    p.SetLibelle(q.value(1).toString());
    p.SetDescription(q.value(2).toString());
    const QDateTime d = LireDateHeureBase(q.value(3).toString());
    p.SetDateCreation(d.isValid() ? DateCourte(d.date()) : QString());
    p.SetPrixAchatHT(q.value(4).toDouble());
    p.SetPrixTarifHT(q.value(5).toDouble());
    p.SetPrixVenteHT(q.value(6).toDouble());
    p.SetReference(q.value(7).toString());
    p.SetLien(q.value(8).toString());
    p.SetStock(q.value(9).toInt());
    p.SetStockMini(q.value(10).toInt());
    return p;
}

std::shared_ptr<TListeCaracValeurs> ChargerCaracValeurs(TdmKestravel& dm, const TProduit& produit)
{
    QSqlQuery q = ExecuterSql(dm.Base(),
                              QStringLiteral("SELECT v.IdCarac, v.Valeur, d.Libelle, d.Unite FROM ProduitCarac v"
                                             " JOIN ProduitTypeCarac d ON d.Externe = v.ExterneProduitCaracV"
                                             " AND d.IdProduitCarac = v.IdCarac"
                                             " WHERE v.ExterneProduitCaracV = ? AND v.IdProduit = ?"
                                             " ORDER BY v.IdCarac, v.%1")
                                  .arg(Dialecte::IdLigne),
                              {produit.GetExterne(), produit.GetIdProduit()});
    auto liste = std::make_shared<TListeCaracValeurs>();
    while (Suivante(q)) {
        auto v = std::make_shared<TCaracValeur>();
        v->SetExterne(produit.GetExterne());
        v->SetIdProduitCarac(q.value(0).toInt());
        v->SetValeur(q.value(1).toString());
        v->SetLibelle(q.value(2).toString());
        v->SetUnite(q.value(3).toString());
        liste->append(v);
    }
    return liste;
}
