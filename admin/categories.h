#pragma once
// The internal category tree of the administration windows, and the writes
// of category management: add, rename, delete, each checked first.

#include "app/arbrecategories.h"
#include "store/dmkestravel.h"

#include <QString>
#include <optional>

class QTreeWidget;

// The category tree "tvProduitType" of the administration windows:
// read-only, no header, indent 19, one node selected at a time.
QTreeWidget* CreerArbreCategories(QWidget* parent);

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
                                     int categorieASelectionner,
                                     QVector<TLigneCategorie>* dernierChargement = nullptr);

// The label of a category, or nothing when the row does not exist.
std::optional<QString> LibelleCategorie(TdmKestravel& dm, int externe, int idProduitType);

// A label may be used under `idParent` when it is not empty and no category
// of that origin and parent already has it, letter case aside (a parent that
// is empty or negative counts as 0). A refusal is told in an information box.
bool ValiderLibelleCategorie(TdmKestravel& dm, int externe, int idParent, const QString& libelle);

// Adds an internal category under `parent` (the root when its id is 0) and
// returns its new id; nothing when the label is refused.
std::optional<int> AjouterCategorie(TdmKestravel& dm, const TObjectNoeud& parent, const QString& libelle);

// Renames a category (not the root) when the label is accepted among its
// siblings; true when renamed.
bool RenommerCategorie(TdmKestravel& dm, const TObjectNoeud& categorie, const QString& libelle);

// Deletes a category (not the root) that has neither subcategories nor
// products and returns its parent id; otherwise tells why in an information
// box (subcategories first) and returns nothing.
std::optional<int> SupprimerCategorie(TdmKestravel& dm, const TObjectNoeud& categorie);
