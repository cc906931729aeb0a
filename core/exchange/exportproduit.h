#pragma once
// What the product view sends to the host: the exchange file holding one
// exported product.

#include "core/store/records.h"

#include <QString>

// The description as the host shows it: every line break becomes "[br]" and
// the text ends with one; then one line per characteristic value
// ("label : value unit") and the comment, each closed by "[br]".
QString DescriptionExport(const QString& description, const TListeCaracValeurs* caracs, const QString& commentaire);

// The list price sent to the host: the sale price stands in for a list price
// of 0.
double PrixTarifExport(const TProduit& produit);

// Writes the exchange file at `chemin`: root Kestravel, one Produit dated
// today holding the product, `quantite` and the built description. The old
// file stays whole if writing fails (EKestravel is thrown).
void ExporterProduit(const QString& chemin, const TProduit& produit, int quantite, const QString& commentaire);
