#pragma once
// The stock control request (`CONTROLE` mode): the host lists products with
// an action each ("Commander", "Actualiser", "Remonter"); every line is
// checked against the catalogue, stock is moved and each movement recorded,
// and the outcome of each line is written back into the same file.

#include <QString>

class TdmKestravel;
class TXmlNodeRef;

// Handles the whole request in one write transaction: the file is saved (to a
// temporary name renamed over it) before the commit, and put back as it was
// if the commit fails, so the host's file and the catalogue never disagree.
// Throws EKestravel/EDatabaseError; nothing is then moved.
void ControlerStock(TdmKestravel& dm, const QString& chemin);

// True when the product exists; `tblProduit` is then positioned on it.
bool ProduitExiste(TdmKestravel& dm, int externe, int idProduit, int idProduitType);
// Whether `quantite` can be taken: `stock` receives the stock on hand (0 for
// an unknown product, for which only a quantity ≤ 0 is "enough").
bool StockSuffisant(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int quantite, int& stock);
// Writes `DateExport` and the product's data into the line; false (nothing
// written) when the product does not exist.
bool ActualiserProduit(TdmKestravel& dm, const TXmlNodeRef& noeud, int externe, int idProduit, int idProduitType,
                       int quantite);
// Give back and take stock of an existing product, each with its
// `Transaction` row ("Commande annulée", "Passage en commande").
void RemonterStock(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int quantite);
void PrendreStock(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int quantite);
