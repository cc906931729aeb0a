#pragma once
// The product exchange file, the one document that passes between the module
// and its host: a `Kestravel` root holding one `Produit` element per line.
// The stock control request and the product view write a product's data into
// a line the same way, through EcrireProduitEchange.

#include "core/exchange/xmldoc.h"

#include <QString>
#include <optional>

inline const char* const RacineEchange = "Kestravel";
inline const char* const ElementProduit = "Produit";

// What a line carries about one product.
struct TProduitEchange {
    int externe = 0;
    int idProduit = 0;
    int idProduitType = 0;
    QString libelle;
    QString description;
    QString reference;
    // Written by the product view only; the refresh leaves them out.
    std::optional<QString> dateCreation;
    std::optional<QString> codeExport;
    int quantite = 0;
    double prixAchatHT = 0;
    double prixTarifHT = 0;
    double prixVenteHT = 0;
    QString lien;  // the image file name; sent as its full path
};

// Sets the attribute `DateExport` to today's regional short date.
void EcrireDateExport(const TXmlNodeRef& produit);

// Writes the child elements of a line in their fixed order: Externe,
// IdProduit, IdProduitType, Libelle, Description, Reference, [DateCreation],
// [CodeExport], Quantite, PrixAchatHT, PrixTarifHT, PrixVentetHT (the host
// reads the sale price under that spelling), Image. Prices go as "0.00" in
// the regional format; Image is the origin's image folder followed by `Lien`
// (by nothing when `Lien` is not a plain file name).
// An element already there has its text replaced, in place.
void EcrireProduitEchange(const TXmlNodeRef& produit, const TProduitEchange& p);
