#include "core/catalogue/categories.h"

#include "core/store/acces.h"
#include "core/store/catalogue.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"

namespace {
// `IdParent` as the checks read it: empty or negative is the root.
const QString ParentLu = QStringLiteral("MAX(CAST(IFNULL(IdParent, 0) AS INTEGER), 0)");

bool Existe(TdmKestravel& dm, const QString& sql, const QVariantList& valeurs)
{
    QSqlQuery q = ExecuterSql(dm.Base(), "SELECT EXISTS (" + sql + ")", valeurs);
    return Suivante(q) && q.value(0).toBool();
}
}  // namespace

std::optional<QString> LibelleCategorie(TdmKestravel& dm, int externe, int idProduitType)
{
    QSqlQuery q = ExecuterSql(dm.Base(), "SELECT Libelle FROM ProduitType WHERE Externe = ? AND IdProduitType = ?",
                              {externe, idProduitType});
    if (!Suivante(q))
        return std::nullopt;
    return q.value(0).toString();
}

void ValiderLibelleCategorie(TdmKestravel& dm, int externe, int idParent, const QString& libelle)
{
    if (libelle.isEmpty())
        throw ERefus(QStringLiteral("Le nom de la catégorie du produit ne doit pas être vide"));
    QSqlQuery q = ExecuterSql(dm.Base(), "SELECT Libelle FROM ProduitType WHERE Externe = ? AND " + ParentLu + " = ?",
                              {externe, idParent});
    const QString cherche = Majuscules(libelle);
    while (Suivante(q)) {
        if (Majuscules(q.value(0).toString()) == cherche)
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
    ExecuterSql(dm.Base(), "INSERT INTO ProduitType (Externe, IdProduitType, IdParent, Libelle) VALUES (0, ?, ?, ?)",
                {id, idParent != 0 ? QVariant(idParent) : QVariant(), libelle});
    transaction.Commit();
    return id;
}

void RenommerCategorie(TdmKestravel& dm, const TObjectNoeud& categorie, const QString& libelle)
{
    QSqlQuery q =
        ExecuterSql(dm.Base(), "SELECT " + ParentLu + " FROM ProduitType WHERE Externe = ? AND IdProduitType = ?",
                    {categorie.GetExterne(), categorie.GetIdProduitType()});
    const int idParent = Suivante(q) ? q.value(0).toInt() : 0;
    ValiderLibelleCategorie(dm, categorie.GetExterne(), idParent, libelle);
    ExecuterSql(dm.Base(), "UPDATE ProduitType SET Libelle = ? WHERE Externe = ? AND IdProduitType = ?",
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
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "SELECT Externe, " + ParentLu + " FROM ProduitType WHERE IdProduitType = ?"
                              " ORDER BY Externe LIMIT 1",
                              {id});
    if (!Suivante(q))
        return std::nullopt;
    const int externeLigne = q.value(0).toInt();
    const int idParent = q.value(1).toInt();
    if (Existe(dm, "SELECT 1 FROM Produit WHERE Externe = 0 AND IdProduitType = ?", {id}))
        throw ERefus(QStringLiteral("Impossible de supprimer une catégorie qui contient des produits"));
    ExecuterSql(dm.Base(), "DELETE FROM ProduitType WHERE Externe = ? AND IdProduitType = ?", {externeLigne, id});
    return idParent;
}
