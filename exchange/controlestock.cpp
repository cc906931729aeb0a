#include "exchange/controlestock.h"

#include "exchange/fichierechange.h"
#include "exchange/xmldoc.h"
#include "store/acces.h"
#include "store/erreurs.h"

#include <QFile>
#include <QSaveFile>
#include <limits>

namespace {
const QString EtatOk = QStringLiteral("Ok");
const QString EtatSupprimer = QStringLiteral("Supprimer");
const QString EtatEpuiser = QStringLiteral("Epuiser");
const QString EtatActualiser = QStringLiteral("Actualiser");
const QString EtatVide = QStringLiteral("Vide");

// Positions `tblProduit` on the product, outside any range.
bool Trouver(TdmKestravel& dm, int externe, int idProduit, int idProduitType)
{
    dm.tblProduit.CancelRange();
    return TrouverCle(dm.tblProduit, {externe, idProduit, idProduitType});
}

void TrouverExistant(TdmKestravel& dm, int externe, int idProduit, int idProduitType)
{
    if (!Trouver(dm, externe, idProduit, idProduitType))
        throw EDatabaseError(QStringLiteral("Le produit %1/%2/%3 a disparu du catalogue.")
                                 .arg(externe)
                                 .arg(idProduit)
                                 .arg(idProduitType));
}

void EcrireStock(TdmKestravel& dm, int stock)
{
    dm.tblProduit.Edit();
    dm.tblProduit.SetField("Stock", stock);
    dm.tblProduit.Post();
}

// Handles one line and returns its outcome.
QString TraiterLigne(TdmKestravel& dm, const TXmlNodeRef& ligne)
{
    const QString type = ligne.ReadAttributeString("Type", QString());
    const int externe = ligne.ReadAttributeInteger("Externe", -1);
    const int idProduit = ligne.ReadAttributeInteger("IdProduit", -1);
    const int idProduitType = ligne.ReadAttributeInteger("IdProduitType", -1);
    if (!ProduitExiste(dm, externe, idProduit, idProduitType))
        return EtatSupprimer;

    const int quantite = ligne.ReadAttributeInteger("Quantite", -1);
    if (type == "Actualiser")
        return ActualiserProduit(dm, ligne, externe, idProduit, idProduitType, quantite) ? EtatActualiser : EtatOk;
    if (type != "Commander" && type != "Remonter")
        return EtatVide;
    // A missing, unreadable or negative quantity would move stock the wrong
    // way: such a line moves nothing. (`tblProduit` is on the product.)
    if (quantite < 0)
        return EtatVide;
    if (type == "Remonter") {
        // Nor may giving back overflow the stock field.
        if (qint64(dm.tblProduit.AsInteger("Stock")) + quantite > std::numeric_limits<qint32>::max())
            return EtatVide;
        RemonterStock(dm, externe, idProduit, idProduitType, quantite);
        return EtatOk;
    }
    int stock = 0;
    if (!StockSuffisant(dm, externe, idProduit, idProduitType, quantite, stock)) {
        ligne.WriteAttribute("Stock", QString::number(stock));
        return EtatEpuiser;
    }
    PrendreStock(dm, externe, idProduit, idProduitType, quantite);
    return EtatOk;
}

// Puts the host's file back as it was (the commit failed after saving).
void Restaurer(const QString& chemin, const QByteArray& contenu)
{
    if (contenu.isEmpty())
        return;
    QSaveFile f(chemin);
    if (f.open(QIODevice::WriteOnly) && f.write(contenu) == contenu.size())
        f.commit();
}
}  // namespace

bool ProduitExiste(TdmKestravel& dm, int externe, int idProduit, int idProduitType)
{
    return Trouver(dm, externe, idProduit, idProduitType);
}

bool StockSuffisant(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int quantite, int& stock)
{
    stock = 0;
    if (Trouver(dm, externe, idProduit, idProduitType))
        stock = dm.tblProduit.AsInteger("Stock");
    return stock >= quantite;
}

bool ActualiserProduit(TdmKestravel& dm, const TXmlNodeRef& noeud, int externe, int idProduit, int idProduitType,
                       int quantite)
{
    if (!Trouver(dm, externe, idProduit, idProduitType))
        return false;
    const TCurseur& p = dm.tblProduit;
    TProduitEchange e;
    e.externe = externe;
    e.idProduit = idProduit;
    e.idProduitType = idProduitType;
    e.libelle = p.AsString("Libelle");
    e.description = p.AsString("Description");
    e.reference = p.AsString("Reference");
    e.quantite = quantite;
    e.prixAchatHT = p.AsFloat("PrixAchatHT");
    e.prixTarifHT = p.AsFloat("PrixTarifHT");
    e.prixVenteHT = p.AsFloat("PrixVenteHT");
    e.lien = p.AsString("Lien");
    EcrireDateExport(noeud);
    EcrireProduitEchange(noeud, e);
    return true;
}

void RemonterStock(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int quantite)
{
    TrouverExistant(dm, externe, idProduit, idProduitType);
    const int apres = dm.tblProduit.AsInteger("Stock") + quantite;
    EcrireStock(dm, apres);
    AjouterMouvementStock(dm, externe, idProduit, idProduitType, apres - quantite, apres, LibelleCommandeAnnulee);
}

void PrendreStock(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int quantite)
{
    TrouverExistant(dm, externe, idProduit, idProduitType);
    const int avant = dm.tblProduit.AsInteger("Stock");
    AjouterMouvementStock(dm, externe, idProduit, idProduitType, avant, avant - quantite, LibellePassageCommande);
    EcrireStock(dm, avant - quantite);
}

void ControlerStock(TdmKestravel& dm, const QString& chemin)
{
    TXmlDoc doc(RacineEchange);
    doc.LoadFromFile(chemin);
    QByteArray original;
    {
        QFile f(chemin);
        if (f.open(QIODevice::ReadOnly))
            original = f.readAll();
    }
    TXmlNodeRefList lignes;
    doc.Root().ChildrenByName(ElementProduit, lignes);

    // One write transaction for the whole request: two processes handling
    // requests on the same catalogue never both take the same stock, and a
    // request that fails anywhere moves nothing.
    TTransaction transaction(dm);
    for (int i = 0; i < lignes.Count(); ++i) {
        const TXmlNodeRef ligne = lignes.Get(i);
        ligne.WriteAttribute("Etat", TraiterLigne(dm, ligne));
    }
    doc.SaveToFile(chemin);
    try {
        transaction.Commit();
    } catch (...) {
        Restaurer(chemin, original);
        throw;
    }
}
