#include "viewer/exportproduit.h"

#include "app/chemins.h"
#include "exchange/xmldoc.h"
#include "store/format.h"

namespace {
const QString Br = QStringLiteral("[br]");
}

QString DescriptionExport(const QString& description, const TListeCaracValeurs* caracs, const QString& commentaire)
{
    QString texte = description;
    texte.replace("\r\n", Br).replace('\r', Br).replace('\n', Br);
    if (!texte.isEmpty() && !texte.endsWith(Br))
        texte += Br;
    if (caracs)
        for (const TCaracValeurPtr& v : *caracs)
            texte += v->GetLibelle() + " : " + v->GetValeur() + " " + v->GetUnite() + Br;
    if (!commentaire.isEmpty())
        texte += commentaire + Br;
    return texte;
}

float PrixTarifExport(const TProduit& produit)
{
    return produit.GetPrixTarifHT() == 0 ? produit.GetPrixVenteHT() : produit.GetPrixTarifHT();
}

void ExporterProduit(const QString& chemin, const TProduit& produit, int quantite, const QString& commentaire,
                     const QDate& jour)
{
    TXmlDoc doc("Kestravel");
    const TXmlNodeRef ligne = doc.Root().AddChild("Produit");
    ligne.WriteAttribute("DateExport", DateCourte(jour));
    ligne.WriteChildInteger("Externe", produit.GetExterne());
    ligne.WriteChildInteger("IdProduit", produit.GetIdProduit());
    ligne.WriteChildInteger("IdProduitType", produit.GetIdProduitType());
    ligne.WriteChildString("Libelle", produit.GetLibelle());
    ligne.WriteChildString("Description",
                           DescriptionExport(produit.GetDescription(), produit.GetCaracValeurs().get(), commentaire));
    ligne.WriteChildString("Reference", produit.GetReference());
    ligne.WriteChildString("DateCreation", produit.GetDateCreation());
    ligne.WriteChildString("CodeExport", produit.GetCodeExport());
    ligne.WriteChildInteger("Quantite", quantite);
    ligne.WriteChildString("PrixAchatHT", Montant(produit.GetPrixAchatHT()));
    ligne.WriteChildString("PrixTarifHT", Montant(PrixTarifExport(produit)));
    // The host reads the sale price under this spelling.
    ligne.WriteChildString("PrixVentetHT", Montant(produit.GetPrixVenteHT()));
    ligne.WriteChildString("Image", TexteCheminImage(produit.GetExterne(), produit.GetLien()));
    doc.SaveToFile(chemin);
}
