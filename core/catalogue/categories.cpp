#include "core/catalogue/categories.h"

#include "core/store/acces.h"
#include "core/store/catalogue.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"

namespace {
// `IdParent` as the checks read it: empty or negative is the root. The cast
// reads a value the host left as text the way it always has.
const QString ParentLu = QStringLiteral(
    "CASE WHEN CAST(COALESCE(IdParent, 0) AS INTEGER) > 0 THEN CAST(COALESCE(IdParent, 0) AS INTEGER) ELSE 0 END");

// Whether the query (its values bound in order) gives any row.
bool Existe(TdmKestravel& dm, const QString& sql, const QVariantList& valeurs)
{
    return Interroger(dm.Connexion(), sql + " LIMIT 1", valeurs).Etape();
}
}  // namespace

std::optional<QString> LibelleCategorie(TdmKestravel& dm, int externe, int idProduitType)
{
    TInstructionSql q =
        Interroger(dm.Connexion(), "SELECT Libelle FROM ProduitType WHERE Externe = ? AND IdProduitType = ?",
                   {externe, idProduitType});
    if (!q.Etape())
        return std::nullopt;
    return q.Texte(0);
}

void ValiderLibelleCategorie(TdmKestravel& dm, int externe, int idParent, const QString& libelle)
{
    if (libelle.isEmpty())
        throw ERefus(QStringLiteral("Le nom de la catégorie du produit ne doit pas être vide"));
    TInstructionSql q =
        Interroger(dm.Connexion(), "SELECT Libelle FROM ProduitType WHERE Externe = ? AND " + ParentLu + " = ?",
                   {externe, idParent});
    const QString cherche = Majuscules(libelle);
    while (q.Etape()) {
        if (Majuscules(q.Texte(0)) == cherche)
            throw ERefus(QStringLiteral("Le nom du type de produit existe déjà dans cette catégorie"));
    }
}

int AjouterCategorie(TdmKestravel& dm, const TObjectNoeud& parent, const QString& libelle)
{
    ValiderLibelleCategorie(dm, parent.GetExterne(), parent.GetIdProduitType(), libelle);
    // Allocation and insert in one write transaction: another user of the
    // catalogue cannot take the same number in between.
    TTransaction transaction(dm);
    const int id = ProchainIdProduitType(dm);
    const int idParent = parent.GetIdProduitType();
    ExecuterInstruction(dm.Connexion(),
                        "INSERT INTO ProduitType (Externe, IdProduitType, IdParent, Libelle) VALUES (0, ?, ?, ?)",
                        {id, idParent != 0 ? QVariant(idParent) : QVariant(), libelle});
    transaction.Commit();
    return id;
}

void RenommerCategorie(TdmKestravel& dm, const TObjectNoeud& categorie, const QString& libelle)
{
    TInstructionSql q =
        Interroger(dm.Connexion(), "SELECT " + ParentLu + " FROM ProduitType WHERE Externe = ? AND IdProduitType = ?",
                   {categorie.GetExterne(), categorie.GetIdProduitType()});
    const int idParent = q.Etape() ? int(q.Entier(0)) : 0;
    ValiderLibelleCategorie(dm, categorie.GetExterne(), idParent, libelle);
    ExecuterInstruction(dm.Connexion(), "UPDATE ProduitType SET Libelle = ? WHERE Externe = ? AND IdProduitType = ?",
                        {libelle, categorie.GetExterne(), categorie.GetIdProduitType()});
}

std::optional<int> SupprimerCategorie(TdmKestravel& dm, const TObjectNoeud& categorie)
{
    const int externe = categorie.GetExterne();
    const int id = categorie.GetIdProduitType();
    if (Existe(dm, "SELECT 1 FROM ProduitType WHERE Externe = ? AND IdParent = ?", {externe, id}))
        throw ERefus(QStringLiteral("Impossible de supprimer une catégorie qui contient des catégories de produit"));
    // The category row itself: the first one with this number in key order,
    // that is the internal one.
    TInstructionSql q = Interroger(dm.Connexion(),
                                   "SELECT Externe, " + ParentLu + " FROM ProduitType WHERE IdProduitType = ?"
                                   " ORDER BY Externe LIMIT 1",
                                   {id});
    if (!q.Etape())
        return std::nullopt;
    const int externeLigne = int(q.Entier(0));
    const int idParent = int(q.Entier(1));
    if (Existe(dm, "SELECT 1 FROM Produit WHERE Externe = 0 AND IdProduitType = ?", {id}))
        throw ERefus(QStringLiteral("Impossible de supprimer une catégorie qui contient des produits"));
    ExecuterInstruction(dm.Connexion(), "DELETE FROM ProduitType WHERE Externe = ? AND IdProduitType = ?",
                        {externeLigne, id});
    return idParent;
}
