#pragma once
// Product list of the catalogue settings window: the products of one
// category, the list's text order, and the two writes made from the list
// (moving a product to another category, deleting one).

#include "store/dmkestravel.h"

#include <QString>
#include <QStringList>
#include <QVector>

// One product as the list shows it.
struct TLigneProduit {
    int externe = 0;
    int idProduit = 0;
    int idProduitType = 0;
    QString libelle;
    QString reference;
    double prixTarifHT = 0;
    double prixAchatHT = 0;
    double prixVenteHT = 0;
    int stock = 0;
};

// Columns of the list: the three key columns, then what the user reads.
enum ColonneProduit {
    ColExterne, ColId, ColIdType, ColLibelle, ColReference, ColPrixTarif, ColPrixAchat, ColPrixVente, ColStock,
    NbColonnesProduit
};

// The products of one category by ascending IdProduit. Read through the
// (Externe, IdProduitType, IdProduit) index: the cost follows the rows listed,
// not the size of the catalogue.
QVector<TLigneProduit> LireProduitsCategorie(TdmKestravel& dm, int externe, int idProduitType);

// The texts of a row, one per column: keys in decimal, prices "0.00", the
// stock empty when it is 0 or below.
QStringList TextesProduit(const TLigneProduit& ligne);

// Text order of the list's columns: the letters A to Z compare without case,
// everything else by character code. Negative, 0 or positive.
int ComparerTexteTri(const QString& a, const QString& b);

// Moves the product (Externe, IdProduit, IdProduitType) into category
// `cible`. The root (0) is refused with a message. True when a row changed.
bool DeplacerProduit(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int cible);

// Asks for confirmation, then deletes the internal product and its
// characteristic values in one transaction; its image file goes after the
// commit, and only when `Lien` names a plain file. Stock movements stay.
// True when the product was deleted.
bool SupprimerProduit(TdmKestravel& dm, int idProduit, int idProduitType);
