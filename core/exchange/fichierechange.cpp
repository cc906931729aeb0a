#include "core/exchange/fichierechange.h"

#include "core/base/chemins.h"
#include "core/store/format.h"

#include <QDate>

void EcrireDateExport(const TXmlNodeRef& produit)
{
    produit.WriteAttribute("DateExport", DateCourte(QDate::currentDate()));
}

void EcrireProduitEchange(const TXmlNodeRef& produit, const TProduitEchange& p)
{
    produit.WriteChildInteger("Externe", p.externe);
    produit.WriteChildInteger("IdProduit", p.idProduit);
    produit.WriteChildInteger("IdProduitType", p.idProduitType);
    produit.WriteChildString("Libelle", p.libelle);
    produit.WriteChildString("Description", p.description);
    produit.WriteChildString("Reference", p.reference);
    if (p.dateCreation)
        produit.WriteChildString("DateCreation", *p.dateCreation);
    if (p.codeExport)
        produit.WriteChildString("CodeExport", *p.codeExport);
    produit.WriteChildInteger("Quantite", p.quantite);
    produit.WriteChildString("PrixAchatHT", Montant(p.prixAchatHT));
    produit.WriteChildString("PrixTarifHT", Montant(p.prixTarifHT));
    produit.WriteChildString("PrixVentetHT", Montant(p.prixVenteHT));
    // Only a plain file name reaches the host, as everywhere else: another
    // `Lien` would name a file outside the image folders.
    produit.WriteChildString("Image", TexteCheminImage(p.externe, LienSur(p.lien) ? p.lien : QString()));
}
