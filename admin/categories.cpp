#include "admin/categories.h"

#include "app/prompts.h"
#include "store/acces.h"
#include "store/catalogue.h"
#include "store/erreurs.h"
#include "store/format.h"

#include <QTreeWidget>

namespace {
// `IdParent` as the checks read it: empty or negative is the root.
const QString ParentLu = QStringLiteral("MAX(CAST(IFNULL(IdParent, 0) AS INTEGER), 0)");

bool Existe(TdmKestravel& dm, const QString& sql, const QVariantList& valeurs)
{
    QSqlQuery q = ExecuterSql(dm.Base(), "SELECT EXISTS (" + sql + ")", valeurs);
    return q.next() && q.value(0).toBool();
}
}  // namespace

QTreeWidget* CreerArbreCategories(QWidget* parent)
{
    auto* arbre = new QTreeWidget(parent);
    arbre->setObjectName(QStringLiteral("tvProduitType"));
    arbre->setHeaderHidden(true);
    arbre->setIndentation(19);
    arbre->setEditTriggers(QAbstractItemView::NoEditTriggers);
    arbre->setSelectionMode(QAbstractItemView::SingleSelection);
    return arbre;
}

QTreeWidgetItem* ChargerArbreInterne(TdmKestravel& dm, QTreeWidget* arbre, TTableNoeuds& table,
                                     int categorieASelectionner, QVector<TLigneCategorie>* dernierChargement)
{
    QVector<TLigneCategorie> lignes = LireCategories(dm);
    QTreeWidgetItem* racine;
    if (dernierChargement && arbre->topLevelItemCount() == 1 && *dernierChargement == lignes) {
        racine = arbre->topLevelItem(0);
    } else {
        arbre->clear();
        table.Vider();
        // The tree is built away from the widget and handed over whole:
        // adding thousands of nodes one by one to a shown tree costs far more.
        racine = new TNoeudCategorie(QStringLiteral("Interne"), TObjectNoeud(0, 0));
        PlacerCategories(racine, lignes, 0, table);
        arbre->addTopLevelItem(racine);
        TerminerArbre(arbre);
    }

    QTreeWidgetItem* selection = nullptr;
    // Rows are read in key order, so any row of another origin that comes
    // before the first internal one means there is no internal category.
    if (!lignes.isEmpty() && lignes.first().externe != 0)
        selection = racine;
    for (const TEntreeNoeud& e : table.Entrees()) {
        if (e.objet.GetIdProduitType() == categorieASelectionner)
            selection = e.noeud;
        if (categorieASelectionner == 0)
            selection = racine;
    }
    if (dernierChargement)
        *dernierChargement = std::move(lignes);
    return selection;
}

std::optional<QString> LibelleCategorie(TdmKestravel& dm, int externe, int idProduitType)
{
    QSqlQuery q = ExecuterSql(dm.Base(), "SELECT Libelle FROM ProduitType WHERE Externe = ? AND IdProduitType = ?",
                              {externe, idProduitType});
    if (!q.next())
        return std::nullopt;
    return q.value(0).toString();
}

bool ValiderLibelleCategorie(TdmKestravel& dm, int externe, int idParent, const QString& libelle)
{
    if (libelle.isEmpty()) {
        Prompts().Information(QStringLiteral("Le nom de la catégorie du produit ne doit pas être vide"));
        return false;
    }
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "SELECT Libelle FROM ProduitType WHERE Externe = ? AND " + ParentLu + " = ?",
                              {externe, idParent});
    const QString cherche = Majuscules(libelle);
    while (q.next()) {
        if (Majuscules(q.value(0).toString()) == cherche) {
            Prompts().Information(QStringLiteral("Le nom du type de produit existe déjà dans cette catégorie"));
            return false;
        }
    }
    return true;
}

std::optional<int> AjouterCategorie(TdmKestravel& dm, const TObjectNoeud& parent, const QString& libelle)
{
    if (!ValiderLibelleCategorie(dm, parent.GetExterne(), parent.GetIdProduitType(), libelle))
        return std::nullopt;
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

bool RenommerCategorie(TdmKestravel& dm, const TObjectNoeud& categorie, const QString& libelle)
{
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "SELECT " + ParentLu + " FROM ProduitType WHERE Externe = ? AND IdProduitType = ?",
                              {categorie.GetExterne(), categorie.GetIdProduitType()});
    const int idParent = q.next() ? q.value(0).toInt() : 0;
    if (!ValiderLibelleCategorie(dm, categorie.GetExterne(), idParent, libelle))
        return false;
    ExecuterSql(dm.Base(), "UPDATE ProduitType SET Libelle = ? WHERE Externe = ? AND IdProduitType = ?",
                {libelle, categorie.GetExterne(), categorie.GetIdProduitType()});
    return true;
}

std::optional<int> SupprimerCategorie(TdmKestravel& dm, const TObjectNoeud& categorie)
{
    const int externe = categorie.GetExterne();
    const int id = categorie.GetIdProduitType();
    if (Existe(dm, "SELECT 1 FROM ProduitType WHERE Externe = ? AND IdParent = ?", {externe, id})) {
        Prompts().Information(
            QStringLiteral("Impossible de supprimer une catégorie qui contient des catégories de produit"));
        return std::nullopt;
    }
    // The category row itself: the first one with this number in key order,
    // that is the internal one.
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "SELECT Externe, " + ParentLu + " FROM ProduitType WHERE IdProduitType = ?"
                              " ORDER BY Externe LIMIT 1",
                              {id});
    if (!q.next())
        return std::nullopt;
    const int externeLigne = q.value(0).toInt();
    const int idParent = q.value(1).toInt();
    if (Existe(dm, "SELECT 1 FROM Produit WHERE Externe = 0 AND IdProduitType = ?", {id})) {
        Prompts().Information(QStringLiteral("Impossible de supprimer une catégorie qui contient des produits"));
        return std::nullopt;
    }
    ExecuterSql(dm.Base(), "DELETE FROM ProduitType WHERE Externe = ? AND IdProduitType = ?", {externeLigne, id});
    return idParent;
}
