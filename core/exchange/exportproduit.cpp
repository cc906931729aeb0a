#include "core/exchange/exportproduit.h"

#include "core/exchange/fichierechange.h"

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

double PrixTarifExport(const TProduit& produit)
{
    return produit.GetPrixTarifHT() == 0 ? produit.GetPrixVenteHT() : produit.GetPrixTarifHT();
}

void ExporterProduit(const QString& chemin, const TProduit& produit, int quantite, const QString& commentaire)
{
    TXmlDoc doc(RacineEchange);
    const TXmlNodeRef ligne = doc.Root().AddChild(ElementProduit);
    EcrireDateExport(ligne);
    TProduitEchange e;
    e.externe = produit.GetExterne();
    e.idProduit = produit.GetIdProduit();
    e.idProduitType = produit.GetIdProduitType();
    e.libelle = produit.GetLibelle();
    e.description = DescriptionExport(produit.GetDescription(), produit.GetCaracValeurs().get(), commentaire);
    e.reference = produit.GetReference();
    e.dateCreation = produit.GetDateCreation();
    e.codeExport = produit.GetCodeExport();
    e.quantite = quantite;
    e.prixAchatHT = produit.GetPrixAchatHT();
    e.prixTarifHT = PrixTarifExport(produit);
    e.prixVenteHT = produit.GetPrixVenteHT();
    e.lien = produit.GetLien();
    EcrireProduitEchange(ligne, e);
    doc.SaveToFile(chemin);
}
