#pragma once
// The stock control request (`CONTROLE` mode): the host lists products with
// an action each ("Commander", "Actualiser", "Remonter"); every line is
// checked against the catalogue, stock is moved and each movement recorded,
// and the outcome of each line is written back into the same file.

#include <QString>

class TdmKestravel;
class TXmlDoc;
class TXmlNodeRef;

// Handles the whole request in one write transaction and writes the
// outcomes back into the file; the file and the catalogue agree after a
// crash at any instant (the protocol is described in controlestock.cpp).
// Throws EKestravel/EDatabaseError; nothing is then moved and the file is as
// it was, unless only the last step, renaming the written outcomes over the
// file, failed: the next request then finishes it.
void ControlerStock(TdmKestravel& dm, const QString& chemin);
// Handles every `Produit` line of a loaded request against the catalogue and
// writes its `Etat` (and `Stock`, or the refreshed data) into it; no
// transaction, no file. For a check from bytes: LoadFromMemory, then this
// inside a TTransaction, then Contenu() and load that again.
void TraiterDemande(TdmKestravel& dm, const TXmlDoc& doc);

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
