#include "core/store/catalogue.h"

#include "core/store/acces.h"
#include "core/store/dates.h"
#include "core/store/dialecte.h"
#include "core/store/format.h"

QVector<TLigneCategorie> LireCategories(TdmKestravel& dm)
{
    TInstructionSql q = Interroger(dm.Connexion(),
                                   "SELECT Externe, IdProduitType, IdParent, Libelle FROM ProduitType"
                                   " ORDER BY Externe, IdProduitType");
    QVector<TLigneCategorie> lignes;
    while (q.Etape())
        lignes.push_back({int(q.Entier(0)), int(q.Entier(1)), int(q.Entier(2)), q.Texte(3)});
    return lignes;
}

std::optional<TProduit> LireProduit(TdmKestravel& dm, int externe, int idProduit, int idProduitType, bool verrouiller)
{
    TInstructionSql q = Interroger(dm.Connexion(),
                                   QStringLiteral("SELECT CodeExport, Libelle, Description, DateCreation, PrixAchatHT,"
                                                  " PrixTarifHT, PrixVenteHT, Reference, Lien, Stock, StockMini"
                                                  " FROM Produit WHERE Externe = ? AND IdProduit = ?"
                                                  " AND IdProduitType = ?")
                                       + (verrouiller ? Dialecte::PourModifier(dm.Connexion()) : ""),
                                   {externe, idProduit, idProduitType});
    if (!q.Etape())
        return std::nullopt;
    TProduit p;
    p.SetExterne(externe);
    p.SetIdProduit(idProduit);
    p.SetIdProduitType(idProduitType);
    p.SetCodeExport(q.Texte(0));
    p.SetLibelle(q.Texte(1));
    p.SetDescription(q.Texte(2));
    const QDateTime d = LireDateHeureBase(q.Texte(3));
    p.SetDateCreation(d.isValid() ? DateCourte(d.date()) : QString());
    p.SetPrixAchatHT(q.Reel(4));
    p.SetPrixTarifHT(q.Reel(5));
    p.SetPrixVenteHT(q.Reel(6));
    p.SetReference(q.Texte(7));
    p.SetLien(q.Texte(8));
    p.SetStock(int(q.Entier(9)));
    p.SetStockMini(int(q.Entier(10)));
    return p;
}

std::shared_ptr<TListeCaracValeurs> ChargerCaracValeurs(TdmKestravel& dm, const TProduit& produit)
{
    TInstructionSql q = Interroger(dm.Connexion(),
                                   QStringLiteral("SELECT v.IdCarac, v.Valeur, d.Libelle, d.Unite FROM ProduitCarac v"
                                                  " JOIN ProduitTypeCarac d ON d.Externe = v.ExterneProduitCaracV"
                                                  " AND d.IdProduitCarac = v.IdCarac"
                                                  " WHERE v.ExterneProduitCaracV = ? AND v.IdProduit = ?"
                                                  " ORDER BY v.IdCarac, v.%1")
                                       .arg(Dialecte::IdLigne),
                                   {produit.GetExterne(), produit.GetIdProduit()});
    auto liste = std::make_shared<TListeCaracValeurs>();
    while (q.Etape()) {
        auto v = std::make_shared<TCaracValeur>();
        v->SetExterne(produit.GetExterne());
        v->SetIdProduitCarac(int(q.Entier(0)));
        v->SetValeur(q.Texte(1));
        v->SetLibelle(q.Texte(2));
        v->SetUnite(q.Texte(3));
        liste->append(v);
    }
    return liste;
}
