#pragma once
// The columns of the settings window's product list.

#include "gui/common/listeproduits.h"

// Columns of the list: the three key columns, then what the user reads.
enum ColonneProduit {
    ColExterne,
    ColId,
    ColIdType,
    ColLibelle,
    ColReference,
    ColPrixTarif,
    ColPrixAchat,
    ColPrixVente,
    ColStock,
    NbColonnesProduit
};

// The settings window's columns, in the order above.
QVector<TColonneProduit> ColonnesParametrage();
