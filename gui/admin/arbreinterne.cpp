#include "gui/admin/arbreinterne.h"

#include "core/store/catalogue.h"

TArbreCategories::TArbreCategories(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setIndentation(19);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
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
        MontrerArbre(arbre, {racine});
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
