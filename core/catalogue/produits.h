#pragma once
// The two writes made from the settings window's product list: moving a
// product to another category, deleting one.

#include "core/store/dmkestravel.h"

// Moves the product (Externe, IdProduit, IdProduitType) into category
// `cible`. The root (0) is refused (ERefus). True when a row changed.
bool DeplacerProduit(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int cible);

// Deletes the internal product and its
// characteristic values in one transaction; its image file goes after the
// commit, and only when `Lien` names a plain file. Stock movements stay.
// True when the product was deleted.
bool SupprimerProduit(TdmKestravel& dm, int idProduit, int idProduitType);
