#include "core/catalogue/produits.h"

#include "core/base/chemins.h"
#include "core/catalogue/categories.h"
#include "core/store/acces.h"
#include "core/store/catalogue.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"

#include <QFile>

bool DeplacerProduit(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int cible)
{
    if (cible == 0)
        throw ERefus(QStringLiteral("Impossible de placer un produit dans la racine Interne"));
    TTransaction transaction(dm);
    ReserverCategorie(dm, 0, cible);
    const bool deplace = ExecuterInstruction(dm.Connexion(),
                                             "UPDATE Produit SET IdProduitType = ?"
                                             " WHERE Externe = ? AND IdProduit = ? AND IdProduitType = ?",
                                             {cible, externe, idProduit, idProduitType})
        > 0;
    transaction.Commit();
    return deplace;
}

bool SupprimerProduit(TdmKestravel& dm, int idProduit, int idProduitType)
{
    const std::optional<TProduit> produit = LireProduit(dm, 0, idProduit, idProduitType);
    if (!produit)
        return false;
    {
        TTransaction transaction(dm);
        ExecuterInstruction(dm.Connexion(),
                            "DELETE FROM Produit WHERE Externe = 0 AND IdProduit = ? AND IdProduitType = ?",
                            {idProduit, idProduitType});
        ExecuterInstruction(dm.Connexion(), "DELETE FROM ProduitCarac WHERE ExterneProduitCaracV = 0 AND IdProduit = ?",
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
