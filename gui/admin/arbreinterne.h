#pragma once
// The internal category tree of the administration windows.

#include "core/store/dmkestravel.h"
#include "gui/common/arbrecategories.h"

#include <QTreeWidget>

// The category tree of the administration windows: read-only, no header,
// indent 19, one node selected at a time.
class TArbreCategories : public QTreeWidget {
public:
    explicit TArbreCategories(QWidget* parent = nullptr);
};

// Empties the tree and the node table, then loads the internal categories
// under a root "Interne" (payload (0, 0)) by the shared rule, sorted and
// expanded. Returns the node the load selects: the node of
// `categorieASelectionner` when it is placed, the root when that id is 0 or
// when no internal category exists; nullptr otherwise and when `ProduitType`
// is empty. The caller makes the selection.
// With `dernierChargement`, a tree whose rows read the same as last time is
// kept as it stands (only the selection is worked out again): rebuilding ten
// thousand nodes costs far more than reading them.
QTreeWidgetItem* ChargerArbreInterne(TdmKestravel& dm, QTreeWidget* arbre, TTableNoeuds& table,
                                     int categorieASelectionner, QVector<TLigneCategorie>* dernierChargement = nullptr);
