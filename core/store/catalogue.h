#pragma once
// Reads shared by several windows: categories, one product, its
// characteristic values.

#include "core/store/dmkestravel.h"
#include "core/store/records.h"

#include <QVector>
#include <optional>

struct TLigneCategorie {
    int externe = 0;
    int idProduitType = 0;
    int idParent = 0;  // an empty parent reads as 0
    QString libelle;

    bool operator==(const TLigneCategorie& autre) const
    {
        return externe == autre.externe && idProduitType == autre.idProduitType && idParent == autre.idParent
            && libelle == autre.libelle;
    }
};
// Moved as plain memory when a list of rows grows: ten thousand categories
// are read at every start of a window.
Q_DECLARE_TYPEINFO(TLigneCategorie, Q_RELOCATABLE_TYPE);

// Every category row in key order (origin, then category number).
QVector<TLigneCategorie> LireCategories(TdmKestravel& dm);

// The product row with this key, or nothing. `DateCreation` is given as a
// short date text. With `verrouiller`, inside a write transaction, the row
// stays as read until the transaction ends (on a server other writers wait;
// a file's write transaction holds the whole catalogue already).
std::optional<TProduit> LireProduit(TdmKestravel& dm, int externe, int idProduit, int idProduitType,
                                    bool verrouiller = false);

// The characteristic values of a product, by ascending characteristic number,
// each completed with its definition's label and unit; a value whose
// definition no longer exists is left out.
std::shared_ptr<TListeCaracValeurs> ChargerCaracValeurs(TdmKestravel& dm, const TProduit& produit);
