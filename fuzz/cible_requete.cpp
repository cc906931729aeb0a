// The stock control request on any file the host could hand over, against a
// fresh temporary catalogue each time. Properties:
// - a request that fails leaves the file byte for byte as it was and moves
//   no stock;
// - a request that succeeds leaves a file that loads again, with the same
//   lines carrying the same request and an outcome each, the rest of the
//   document unchanged, and that saves back to the same bytes;
// - the outcomes agree with the catalogue: "Supprimer" exactly for unknown
//   products, refreshed lines carry the product's texts intact, every stock
//   change is one "Ok" line and one movement row, and no stock goes negative.

#include "core/base/chemins.h"
#include "core/exchange/controlestock.h"
#include "core/exchange/fichierechange.h"
#include "core/exchange/xmldoc.h"
#include "core/store/acces.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/schema.h"
#include "fuzz/soutien_fuzz.h"

#include <libxml/tree.h>
#include <QDir>
#include <QFile>
#include <QHash>
#include <memory>

namespace {
struct TProduitConnu {
    int externe, id, type, stock;
    QString libelle, description;
};

// Texts the encodings of the host's files must carry: accents, the euro,
// characters Windows-1252 lacks, markup characters and a CR LF.
const QList<TProduitConnu> Produits = {
    {0, 1, 1, 5, QStringLiteral("Café crème n° 1"), QStringLiteral("Ligne 1\r\nLigne 2 & <3> « x »")},
    {1, 2, 1, 0, QStringLiteral("Œuvre – 12 €"), QString()},
    {2, 3, 2, 2147483640, QStringLiteral("Standard Ω ж 漢"), QStringLiteral("]]> \"'\t")},
    {0, 4, 1, 1, QStringLiteral("Produit 4"), QStringLiteral("x")},
};

QString Cle(int externe, int id, int type) { return QStringLiteral("%1/%2/%3").arg(externe).arg(id).arg(type); }

const TProduitConnu* Connu(int externe, int id, int type)
{
    for (const TProduitConnu& p : Produits)
        if (p.externe == externe && p.id == id && p.type == type)
            return &p;
    return nullptr;
}

QString CataloguePropre() { return DossierTravail() + QStringLiteral("/propre.abs"); }

void CreerCatalogue()
{
    CreerCatalogueVide(CataloguePropre());
    TdmKestravel dm(CataloguePropre());
    for (const TProduitConnu& p : Produits)
        ExecuterInstruction(
            dm.Connexion(),
            "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Description, CodeExport, PrixAchatHT,"
            " PrixTarifHT, PrixVenteHT, Libelle, DateCreation, Reference, Lien, Stock, StockMini)"
            " VALUES (?, ?, ?, ?, 'C', 10.5, 1234.567, 0, ?, '2024-01-02 00:00:00.000', 'Réf', 'é.jpg', ?, 1)",
            {p.externe, p.id, p.type, p.description, p.libelle, p.stock});
}

// Everything of the document but the `Produit` lines under the root, as text.
QString Empreinte(const xmlNode* n, const xmlNode* racine)
{
    QString s;
    for (; n; n = n->next) {
        if (n->parent == racine && n->type == XML_ELEMENT_NODE && n->name
            && qstrcmp(reinterpret_cast<const char*>(n->name), ElementProduit) == 0) {
            s += QStringLiteral("[Produit]");
            continue;
        }
        s += QStringLiteral("[%1 %2").arg(int(n->type)).arg(QString::fromUtf8(reinterpret_cast<const char*>(n->name)));
        if (n->type == XML_ELEMENT_NODE) {
            for (const xmlAttr* a = n->properties; a; a = a->next) {
                xmlChar* v = xmlNodeListGetString(n->doc, a->children, 1);
                s += QStringLiteral(" %1=%2").arg(QString::fromUtf8(reinterpret_cast<const char*>(a->name)),
                                                  QString::fromUtf8(reinterpret_cast<const char*>(v)));
                xmlFree(v);
            }
            s += Empreinte(n->children, racine);
        } else if ((n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE || n->type == XML_COMMENT_NODE
                    || n->type == XML_PI_NODE)
                   && n->content) {
            s += ' ' + QString::fromUtf8(reinterpret_cast<const char*>(n->content));
        }
        s += ']';
    }
    return s;
}

QString Empreinte(const TXmlDoc& doc) { return Empreinte(doc.Root().Node()->doc->children, doc.Root().Node()); }

QString Attribut(const TXmlNodeRef& n, const char* nom) { return n.ReadAttributeString(nom, "<absent>"); }

bool Charger(TXmlDoc& doc, const QString& chemin, QString& erreur)
{
    try {
        doc.LoadFromFile(chemin);
        return true;
    } catch (const EKestravel& e) {
        erreur = e.Message();
        return false;
    }
}

// Stock per product and the movement rows of the catalogue after the request.
struct TEtatCatalogue {
    QHash<QString, qint64> stock, sommeMouvements;
    int mouvements = 0;
};

TEtatCatalogue LireCatalogue(TdmKestravel& dm)
{
    TEtatCatalogue e;
    TInstructionSql q = Interroger(dm.Connexion(), "SELECT Externe, IdProduit, IdProduitType, Stock FROM Produit");
    while (q.Etape())
        e.stock[Cle(int(q.Entier(0)), int(q.Entier(1)), int(q.Entier(2)))] = q.Entier(3);
    q = Interroger(dm.Connexion(),
                   "SELECT Externe, IdProduit, IdProduitType, QuantiteNew - QuantiteOld FROM \"Transaction\"");
    while (q.Etape()) {
        e.sommeMouvements[Cle(int(q.Entier(0)), int(q.Entier(1)), int(q.Entier(2)))] += q.Entier(3);
        ++e.mouvements;
    }
    return e;
}

bool RienNeBouge(const TEtatCatalogue& e)
{
    for (const TProduitConnu& p : Produits)
        if (e.stock.value(Cle(p.externe, p.id, p.type)) != p.stock)
            return false;
    return e.mouvements == 0;
}

void VerifierLignes(const TXmlDoc& avant, const TXmlDoc& apres, const TEtatCatalogue& catalogue)
{
    TXmlNodeRefList la, lp;
    avant.Root().ChildrenByName(ElementProduit, la);
    apres.Root().ChildrenByName(ElementProduit, lp);
    VERIFIER(la.Count() == lp.Count(), QStringLiteral("%1 lignes avant, %2 après").arg(la.Count()).arg(lp.Count()));

    QHash<QString, qint64> variation;
    int lignesMouvement = 0;
    for (int i = 0; i < lp.Count(); ++i) {
        const TXmlNodeRef a = la.Get(i), p = lp.Get(i);
        for (const char* nom : {"Type", "Externe", "IdProduit", "IdProduitType", "Quantite"})
            VERIFIER(Attribut(a, nom) == Attribut(p, nom),
                     QStringLiteral("ligne %1, %2 : %3 devenu %4").arg(i).arg(nom, Attribut(a, nom), Attribut(p, nom)));
        const QString etat = Attribut(p, "Etat"), type = Attribut(p, "Type");
        const int externe = a.ReadAttributeInteger("Externe", -1), id = a.ReadAttributeInteger("IdProduit", -1),
                  typeProduit = a.ReadAttributeInteger("IdProduitType", -1),
                  quantite = a.ReadAttributeInteger("Quantite", -1);
        const TProduitConnu* produit = Connu(externe, id, typeProduit);
        const QString quoi =
            QStringLiteral("ligne %1 (%2 %3) : Etat %4").arg(i).arg(type, Cle(externe, id, typeProduit), etat);
        VERIFIER(QStringList({"Ok", "Supprimer", "Epuiser", "Actualiser", "Vide"}).contains(etat), quoi);
        VERIFIER((etat == "Supprimer") == (produit == nullptr), quoi);
        if (etat == "Epuiser") {
            bool ok = false;
            const int stock = Attribut(p, "Stock").toInt(&ok);
            VERIFIER(type == "Commander" && ok && stock >= 0 && stock < quantite,
                     quoi + " Stock " + Attribut(p, "Stock"));
        }
        if (etat == "Actualiser") {
            VERIFIER(type == "Actualiser", quoi);
            VERIFIER(p.FindChild("Libelle").Text() == produit->libelle,
                     quoi + " Libelle " + p.FindChild("Libelle").Text());
            VERIFIER(p.FindChild("Description").Text() == produit->description,
                     quoi + " Description " + p.FindChild("Description").Text());
        }
        if (etat == "Ok" && (type == "Commander" || type == "Remonter")) {
            variation[Cle(externe, id, typeProduit)] += type == "Commander" ? -qint64(quantite) : qint64(quantite);
            ++lignesMouvement;
        }
    }
    VERIFIER(catalogue.mouvements == lignesMouvement,
             QStringLiteral("%1 mouvements pour %2 lignes Ok").arg(catalogue.mouvements).arg(lignesMouvement));
    for (const TProduitConnu& p : Produits) {
        const QString cle = Cle(p.externe, p.id, p.type);
        const qint64 stock = catalogue.stock.value(cle);
        VERIFIER(stock - p.stock == variation.value(cle) && stock - p.stock == catalogue.sommeMouvements.value(cle),
                 QStringLiteral("%1 : stock %2 → %3, lignes %4, mouvements %5")
                     .arg(cle)
                     .arg(p.stock)
                     .arg(stock)
                     .arg(variation.value(cle))
                     .arg(catalogue.sommeMouvements.value(cle)));
        VERIFIER(stock >= 0, cle);
    }
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitialiserProcessus();
    SetDossierAdministration(DossierTravail() + QStringLiteral("/Administration"));
    CreerCatalogue();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* donnees, size_t taille)
{
    const QByteArray octets(reinterpret_cast<const char*>(donnees), qsizetype(taille));
    // A fresh folder each time: the request file, the catalogue, and whatever
    // the handler keeps beside them.
    const QString dossier = DossierTravail() + QStringLiteral("/requete");
    QDir(dossier).removeRecursively();
    QDir().mkpath(dossier);
    const QString base = dossier + QStringLiteral("/Kestravel.abs"), chemin = dossier + QStringLiteral("/demande.xml");
    VERIFIER(QFile::copy(CataloguePropre(), base), base);
    EcrireOctets(chemin, octets);

    TXmlDoc avant(RacineEchange);
    QString erreur;
    const bool lisible = Charger(avant, chemin, erreur);
    bool traite = true;
    TEtatCatalogue catalogue;
    {
        TdmKestravel dm(base);
        try {
            ControlerStock(dm.Connexion(), dm.CheminBase(), chemin);
        } catch (const EKestravel& e) {
            traite = false;
            erreur = e.Message();
        }
        catalogue = LireCatalogue(dm);
    }
    const QByteArray ecrit = LireOctets(chemin);
    if (!traite) {
        VERIFIER(ecrit == octets, "fichier changé par une requête en échec : " + erreur);
        VERIFIER(RienNeBouge(catalogue), "stock changé par une requête en échec : " + erreur);
        return 0;
    }
    VERIFIER(lisible, "requête illisible traitée : " + erreur);
    TXmlDoc apres(RacineEchange);
    VERIFIER(Charger(apres, chemin, erreur), "fichier enregistré illisible : " + erreur);
    VERIFIER(apres.Contenu() == ecrit, "le fichier relu ne s'enregistre pas à l'identique");
    VERIFIER(Empreinte(apres) == Empreinte(avant), "avant : " + Empreinte(avant) + "\n  après : " + Empreinte(apres));
    VerifierLignes(avant, apres, catalogue);
    return 0;
}
