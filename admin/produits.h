#pragma once
// Product list of the catalogue settings window: its columns and the two
// writes made from the list (moving a product to another category, deleting
// one).

#include "app/listeproduits.h"
#include "store/dmkestravel.h"

// Columns of the list: the three key columns, then what the user reads.
enum ColonneProduit {
    ColExterne, ColId, ColIdType, ColLibelle, ColReference, ColPrixTarif, ColPrixAchat, ColPrixVente, ColStock,
    NbColonnesProduit
};

// The settings window's columns, in the order above.
QVector<TColonneProduit> ColonnesParametrage();

// Moves the product (Externe, IdProduit, IdProduitType) into category
// `cible`. The root (0) is refused with a message. True when a row changed.
bool DeplacerProduit(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int cible);

// Asks for confirmation, then deletes the internal product and its
// characteristic values in one transaction; its image file goes after the
// commit, and only when `Lien` names a plain file. Stock movements stay.
// True when the product was deleted.
bool SupprimerProduit(TdmKestravel& dm, int idProduit, int idProduitType);
