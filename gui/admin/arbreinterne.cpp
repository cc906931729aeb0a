#include "gui/admin/arbreinterne.h"

#include "core/store/catalogue.h"

#include <optional>

TArbreCategories::TArbreCategories(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setIndentation(19);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

namespace {
TArbreInterne ConstruireArbreInterne(QVector<TLigneCategorie> lignes)
{
    TArbreInterne a;
    a.racine = std::make_unique<TNoeudCategorie>(QStringLiteral("Interne"), TObjectNoeud(0, 0));
    PlacerCategories(a.racine.get(), lignes, 0, a.table);
    a.lignes = std::move(lignes);
    return a;
}
}  // namespace

std::future<TArbreInterne> PreparerArbreInterne(TdmKestravel& dm)
{
    // Only the nodes are made on the other thread: the catalogue's
    // connection stays with the thread of the windows.
    return std::async(std::launch::async, ConstruireArbreInterne, LireCategories(dm));
}

QTreeWidgetItem* ChargerArbreInterne(TdmKestravel& dm, QTreeWidget* arbre, TTableNoeuds& table,
                                     int categorieASelectionner, QVector<TLigneCategorie>* dernierChargement,
                                     std::future<TArbreInterne>* prepare)
{
    std::optional<TArbreInterne> construit;
    if (prepare && prepare->valid())
        construit = prepare->get();
    QVector<TLigneCategorie> lignes = construit ? construit->lignes : LireCategories(dm);
    QTreeWidgetItem* racine;
    if (dernierChargement && arbre->topLevelItemCount() == 1 && *dernierChargement == lignes) {
        racine = arbre->topLevelItem(0);
    } else {
        arbre->clear();
        // The tree is built away from the widget and handed over whole:
        // adding thousands of nodes one by one to a shown tree costs far more.
        if (!construit)
            construit = ConstruireArbreInterne(lignes);
        table = std::move(construit->table);
        racine = construit->racine.release();
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
