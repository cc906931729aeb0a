#include "admin/produits.h"

#include "app/chemins.h"
#include "app/prompts.h"
#include "store/acces.h"
#include "store/catalogue.h"
#include "store/erreurs.h"
#include "store/format.h"

#include <QFile>

QVector<TColonneProduit> ColonnesParametrage()
{
    using C = TChampProduit;
    return {{C::Externe, QStringLiteral("Externe")},
            {C::IdProduit, QStringLiteral("Id")},
            {C::IdProduitType, QStringLiteral("IdType")},
            {C::Libelle, QStringLiteral("Libellé")},
            {C::Reference, QStringLiteral("Référence")},
            {C::PrixTarifHT, QStringLiteral("Prix tarif HT"), true},
            {C::PrixAchatHT, QStringLiteral("Prix achat HT"), true},
            {C::PrixVenteHT, QStringLiteral("Prix vente HT"), true},
            {C::Stock, QStringLiteral("Stock"), true}};
}

bool DeplacerProduit(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int cible)
{
    if (cible == 0) {
        Prompts().Information(QStringLiteral("Impossible de placer un produit dans la racine Interne"));
        return false;
    }
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "UPDATE Produit SET IdProduitType = ?"
                              " WHERE Externe = ? AND IdProduit = ? AND IdProduitType = ?",
                              {cible, externe, idProduit, idProduitType});
    return q.numRowsAffected() > 0;
}

bool SupprimerProduit(TdmKestravel& dm, int idProduit, int idProduitType)
{
    const std::optional<TProduit> produit = LireProduit(dm, 0, idProduit, idProduitType);
    if (!produit)
        return false;
    if (!Prompts().Confirmer(QStringLiteral("Vous voulez vraiment supprimer le produit?")))
        return false;
    {
        TTransaction transaction(dm);
        ExecuterSql(dm.Base(), "DELETE FROM Produit WHERE Externe = 0 AND IdProduit = ? AND IdProduitType = ?",
                    {idProduit, idProduitType});
        ExecuterSql(dm.Base(), "DELETE FROM ProduitCarac WHERE ExterneProduitCaracV = 0 AND IdProduit = ?",
                    {idProduit});
        transaction.Commit();
    }
    // The rows are gone for good: only now may the picture go too. A
    // picture that cannot be removed is left behind rather than reported.
    const QString image = FichierImage(0, produit->GetLien());
    if (!image.isEmpty() && QFile::exists(image))
        QFile::remove(image);
    return true;
}
