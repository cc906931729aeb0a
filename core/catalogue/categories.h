#pragma once
// The writes of category management: add, rename, delete, each checked
// first. A refusal is thrown as ERefus with the text to show the user.

#include "core/catalogue/concurrence.h"
#include "core/store/dmkestravel.h"
#include "core/store/records.h"

#include <QString>
#include <optional>

// The label of a category, or nothing when the row does not exist.
std::optional<QString> LibelleCategorie(TdmKestravel& dm, int externe, int idProduitType);

// A label may be used under `idParent` when it is not empty and no category
// of that origin and parent already has it, letter case aside (a parent that
// is empty or negative counts as 0). Throws ERefus otherwise.
void ValiderLibelleCategorie(TdmKestravel& dm, int externe, int idParent, const QString& libelle);

// Adds an internal category under `parent` (the root when its id is 0) and
// returns its new id; ERefus when the label is refused.
int AjouterCategorie(TdmKestravel& dm, const TObjectNoeud& parent, const QString& libelle);

// Renames a category (not the root), read with the label `libelleLu`, when
// the label is accepted among its siblings (ERefus otherwise). When another
// workstation renamed it meanwhile the user is asked first.
TIssueAccord RenommerCategorie(TdmKestravel& dm, const TObjectNoeud& categorie, const QString& libelleLu,
                               const QString& libelle);

// Deletes a category (not the root) that has neither subcategories nor
// products and returns its parent id; otherwise throws ERefus saying why
// (subcategories first). Nothing when the row no longer exists. The checks
// are made inside the delete's transaction.
std::optional<int> SupprimerCategorie(TdmKestravel& dm, const TObjectNoeud& categorie);

// Inside a write transaction that puts a product into the category: keeps
// the category from being deleted until the transaction ends (on a server;
// a file's write transaction holds the whole catalogue already).
void ReserverCategorie(TdmKestravel& dm, int externe, int idProduitType);
