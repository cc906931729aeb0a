#pragma once
// The internal category tree of the administration windows.

#include "core/store/dmkestravel.h"
#include "gui/common/arbrecategories.h"

#include <QTreeWidget>
#include <future>
#include <memory>

// The category tree of the administration windows: read-only, no header,
// indent 19, one node selected at a time.
class TArbreCategories : public QTreeWidget {
public:
    explicit TArbreCategories(QWidget* parent = nullptr);
};

// The internal categories as read and their nodes, made away from any view.
struct TArbreInterne {
    QVector<TLigneCategorie> lignes;
    std::unique_ptr<QTreeWidgetItem> racine;  // "Interne", payload (0, 0)
    TTableNoeuds table;
};

// Reads the internal categories now and makes their nodes on another
// thread: a window starts it before building its controls and hands the
// result to ChargerArbreInterne, so that on a big catalogue both are made
// at the same time.
std::future<TArbreInterne> PreparerArbreInterne(TdmKestravel& dm);

// Empties the tree and the node table, then loads the internal categories
// under a root "Interne" (payload (0, 0)) by the shared rule, sorted and
// expanded. Returns the node the load selects: the node of
// `categorieASelectionner` when it is placed, the root when that id is 0 or
// when no internal category exists; nullptr otherwise and when `ProduitType`
// is empty. The caller makes the selection.
// With `dernierChargement`, a tree whose rows read the same as last time is
// kept as it stands (only the selection is worked out again): rebuilding ten
// thousand nodes costs far more than reading them. With a valid `prepare`,
// its rows and nodes are taken instead of reading the catalogue.
QTreeWidgetItem* ChargerArbreInterne(TdmKestravel& dm, QTreeWidget* arbre, TTableNoeuds& table,
                                     int categorieASelectionner, QVector<TLigneCategorie>* dernierChargement = nullptr,
                                     std::future<TArbreInterne>* prepare = nullptr);
