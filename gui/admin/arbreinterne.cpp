#include "gui/admin/arbreinterne.h"

#include "core/store/catalogue.h"

#include <QScrollBar>

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

TVueArbre VueArbre(const QTreeWidget* arbre, const TTableNoeuds& table)
{
    TVueArbre vue;
    vue.defilement = arbre->verticalScrollBar()->value();
    if (const QTreeWidgetItem* racine = arbre->topLevelItem(0); racine && !racine->isExpanded())
        vue.replies.insert(0);
    for (const TEntreeNoeud& e : table.Entrees())
        if (e.noeud && e.noeud->childCount() > 0 && !e.noeud->isExpanded())
            vue.replies.insert(e.objet.GetIdProduitType());
    return vue;
}

void RetablirVueArbre(QTreeWidget* arbre, const TTableNoeuds& table, const TVueArbre& vue)
{
    if (QTreeWidgetItem* racine = arbre->topLevelItem(0); racine && vue.replies.contains(0))
        racine->setExpanded(false);
    for (const TEntreeNoeud& e : table.Entrees())
        if (e.noeud && vue.replies.contains(e.objet.GetIdProduitType()))
            e.noeud->setExpanded(false);
    arbre->verticalScrollBar()->setValue(vue.defilement);
}
