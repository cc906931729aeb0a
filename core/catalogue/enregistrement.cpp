#include "core/catalogue/enregistrement.h"

#include "core/base/chemins.h"
#include "core/base/prompts.h"
#include "core/base/systeme.h"
#include "core/catalogue/categories.h"
#include "core/catalogue/concurrence.h"
#include "core/store/acces.h"
#include "core/store/catalogue.h"
#include "core/store/dates.h"
#include "core/store/dialecte.h"
#include "core/store/echecs.h"
#include "core/store/format.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>

namespace {
const QString RacineRefusee = QStringLiteral("Impossible de placer un produit dans la racine Interne");
const QString ProduitDisparu = QStringLiteral(
    "Ce produit n'existe plus : il a été supprimé par un autre poste pendant sa modification.\n"
    "Rien n'a été enregistré. Les valeurs saisies restent dans la fenêtre pour être recopiées ;"
    " fermez-la avec « Annuler ».");

const QString ImageNonCopiee = QStringLiteral("L'image choisie n'a pas pu être copiée dans le dossier des images.");

// The picked image, copied into the internal image folder under a temporary
// name before any row is written; it takes its final name only once the rows
// are committed, and vanishes if they are not.
class TImageEnAttente {
public:
    explicit TImageEnAttente(const QString& source)
    {
        QDir().mkpath(CheminImagesInterne());
        QFile entree(source);
        m_copie.setFileTemplate(CheminImagesInterne() + ".kestravel-XXXXXX");
        errno = 0;
        if (!entree.open(QIODevice::ReadOnly)) {
            m_echec = MessageFichier(entree, source, false, ImageNonCopiee, errno);
            return;
        }
        errno = 0;
        if (!m_copie.open()) {
            m_echec = MessageFichier(m_copie, m_copie.fileTemplate(), true, ImageNonCopiee, errno);
            return;
        }
        char tampon[65536];
        qint64 lus;
        while ((lus = entree.read(tampon, sizeof tampon)) > 0) {
            if (m_copie.write(tampon, lus) != lus) {
                m_echec = MessageFichier(m_copie, m_copie.fileName(), true, ImageNonCopiee, 0, entree.size());
                return;
            }
        }
        m_prete = lus == 0 && m_copie.flush();
        if (!m_prete)
            m_echec = lus < 0 ? MessageFichier(entree, source, false, ImageNonCopiee)
                              : MessageFichier(m_copie, m_copie.fileName(), true, ImageNonCopiee, 0, entree.size());
    }
    bool Prete() const { return m_prete; }
    // Why the copy failed, in French, when it did.
    const QString& Echec() const { return m_echec; }
    // Gives the copy its final name, replacing a file of that name.
    bool Installer(const QString& destination)
    {
        m_copie.close();
        if (const int erreur = Systeme::Renommer(m_copie.fileName(), destination, Systeme::Vidage::Differe)) {
            m_echec = ComposerMessage(ImageNonCopiee, PhraseFichier(CauseFichier(destination, true, erreur)),
                                      QString::fromLocal8Bit(std::strerror(erreur)));
            return false;
        }
        m_copie.setAutoRemove(false);
        return true;
    }

private:
    QTemporaryFile m_copie;
    bool m_prete = false;
    QString m_echec;
};

bool ValeurPresente(TdmKestravel& dm, int idProduit, int idCarac)
{
    return Interroger(dm.Connexion(),
                      "SELECT 1 FROM ProduitCarac WHERE ExterneProduitCaracV = 0 AND IdProduit = ?"
                      " AND IdCarac = ? LIMIT 1",
                      {idProduit, idCarac})
        .Etape();
}

void InsererValeur(TdmKestravel& dm, int idProduit, const TCaracValeur& v)
{
    ExecuterInstruction(
        dm.Connexion(),
        "INSERT INTO ProduitCarac (ExterneProduitCaracV, IdProduit, IdCarac, Valeur) VALUES (0, ?, ?, ?)",
        {idProduit, v.GetIdProduitCarac(), v.GetValeur()});
}

// The editor's fields: how a question names each, its column, its value as
// the controls hold it.
struct TChampFiche {
    const char* question;
    const char* colonne;
    QVariant (*valeur)(const TValeursProduit&);
};
const TChampFiche ChampsFiche[] = {
    {"La référence", "Reference", [](const TValeursProduit& v) { return QVariant(v.reference); }},
    {"Le code export", "CodeExport", [](const TValeursProduit& v) { return QVariant(v.codeExport); }},
    {"Le libellé", "Libelle", [](const TValeursProduit& v) { return QVariant(v.libelle); }},
    {"La description", "Description", [](const TValeursProduit& v) { return QVariant(v.description); }},
    {"La date de création", "DateCreation", [](const TValeursProduit& v) { return QVariant(v.dateCreation); }},
    {"Le prix d'achat", "PrixAchatHT",
     [](const TValeursProduit& v) { return QVariant(ArrondiMontant(v.prixAchatHT)); }},
    {"Le prix tarif", "PrixTarifHT", [](const TValeursProduit& v) { return QVariant(ArrondiMontant(v.prixTarifHT)); }},
    {"Le prix de vente", "PrixVenteHT",
     [](const TValeursProduit& v) { return QVariant(ArrondiMontant(v.prixVenteHT)); }},
    {"Le stock", "Stock", [](const TValeursProduit& v) { return QVariant(v.stock); }},
    {"Le stock minimum", "StockMini", [](const TValeursProduit& v) { return QVariant(v.stockMini); }},
};

bool Change(const TChampFiche& c, const TDemandeEnregistrement& d)
{
    return c.valeur(d.valeurs) != c.valeur(d.ouverture);
}

// A control's value as its column stores it.
QVariant ValeurColonne(const QVariant& v)
{
    return v.typeId() == QMetaType::QDate ? QVariant(DateHeureBase(QDateTime(v.toDate(), QTime(0, 0)))) : v;
}

int AjouterProduit(TdmKestravel& dm, const TDemandeEnregistrement& d, int categorie, const QString& extension)
{
    const TValeursProduit& v = d.valeurs;
    ReserverCategorie(dm, 0, categorie);
    const int id = ProchainIdProduit(dm);
    ExecuterInstruction(
        dm.Connexion(),
        "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Reference, CodeExport, Libelle, Description,"
        " DateCreation, Lien, PrixAchatHT, PrixTarifHT, PrixVenteHT, Stock, StockMini)"
        " VALUES (0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {id, categorie, v.reference, v.codeExport, v.libelle, v.description,
         DateHeureBase(QDateTime(v.dateCreation, QTime(0, 0))),
         extension.isEmpty() ? QString("") : QString::number(id) + extension, ArrondiMontant(v.prixAchatHT),
         ArrondiMontant(v.prixTarifHT), ArrondiMontant(v.prixVenteHT), v.stock, v.stockMini});
    if (v.stock > 0)
        AjouterMouvementStock(dm.Connexion(), 0, id, QVariant(), QVariant(), v.stock, LibelleAjout);
    for (const TCaracValeurPtr& c : d.caracsTravail)
        InsererValeur(dm, id, *c);
    return id;
}

// The value a list gives characteristic `id`, null when none.
QVariant ValeurCarac(const TListeCaracValeurs& liste, int id)
{
    for (const TCaracValeurPtr& c : liste)
        if (c->GetIdProduitCarac() == id)
            return c->GetValeur();
    return QVariant();
}

// Characteristic values the user gave, changed or removed: those whose
// object is in one list and not in the other.
QVector<TCaracValeurPtr> ValeursChangees(const TDemandeEnregistrement& d)
{
    QVector<TCaracValeurPtr> r;
    for (const TCaracValeurPtr& c : d.caracsDepart)
        if (!d.caracsTravail.contains(c))
            r << c;
    for (const TCaracValeurPtr& c : d.caracsTravail)
        if (!d.caracsDepart.contains(c))
            r << c;
    return r;
}

// The fields and characteristic values the user changed that another
// workstation changed too, as the row `maintenant` and its values show.
QVector<TConflit> ConflitsProduit(const TDemandeEnregistrement& d, const TProduit& maintenant,
                                  const TListeCaracValeurs& valeursMaintenant)
{
    QVector<TConflit> r;
    const TValeursProduit avant = ValeursStockees(*d.produit), apres = ValeursStockees(maintenant);
    for (const TChampFiche& c : ChampsFiche)
        if (Change(c, d))
            NoterConflit(r, QString::fromUtf8(c.question), c.valeur(avant), c.valeur(apres), c.valeur(d.valeurs));
    QSet<int> vues;  // a value changed is one removed and one given
    for (const TCaracValeurPtr& c : ValeursChangees(d)) {
        const int id = c->GetIdProduitCarac();
        if (vues.contains(id))
            continue;
        vues.insert(id);
        NoterConflit(r, QStringLiteral("La valeur « %1 »").arg(c->GetLibelle()), ValeurCarac(d.caracsDepart, id),
                     ValeurCarac(valeursMaintenant, id), ValeurCarac(d.caracsTravail, id));
    }
    return r;
}

// Writes the fields the user changed over the row `maintenant`, read in
// this transaction, and the stock movement from the stock stored now.
void ModifierProduit(TdmKestravel& dm, const TDemandeEnregistrement& d, const TProduit& maintenant, const QString& lien)
{
    QStringList affectations;
    QVariantList valeurs;
    for (const TChampFiche& c : ChampsFiche)
        if (Change(c, d)) {
            affectations << QString::fromLatin1(c.colonne) + " = ?";
            valeurs << ValeurColonne(c.valeur(d.valeurs));
        }
    if (lien != maintenant.GetLien()) {
        affectations << "Lien = ?";
        valeurs << lien;
    }
    if (!affectations.isEmpty())
        ExecuterInstruction(
            dm.Connexion(),
            "UPDATE Produit SET " + affectations.join(", ")
                + " WHERE Externe = ? AND IdProduit = ? AND IdProduitType = ?",
            valeurs + QVariantList{maintenant.GetExterne(), maintenant.GetIdProduit(), maintenant.GetIdProduitType()});
    const int stock = d.valeurs.stock;
    if (stock != d.ouverture.stock && stock != maintenant.GetStock() && stock > 0)
        AjouterMouvementStock(dm.Connexion(), maintenant.GetExterne(), maintenant.GetIdProduit(), QVariant(),
                              maintenant.GetStock(), stock, LibelleMisAJour);
}

// Removed values first, so that a value removed and given again ends with
// its new text; a kept value's row is left as it is.
void SynchroniserValeurs(TdmKestravel& dm, int idProduit, const TDemandeEnregistrement& d)
{
    for (const TCaracValeurPtr& c : d.caracsDepart)
        if (!d.caracsTravail.contains(c))
            ExecuterInstruction(
                dm.Connexion(),
                QStringLiteral("DELETE FROM ProduitCarac WHERE %1 = (SELECT %1 FROM ProduitCarac"
                               " WHERE ExterneProduitCaracV = 0 AND IdProduit = ? AND IdCarac = ? LIMIT 1)")
                    .arg(Dialecte::IdLigne),
                {idProduit, c->GetIdProduitCarac()});
    for (const TCaracValeurPtr& c : d.caracsTravail)
        if (!ValeurPresente(dm, idProduit, c->GetIdProduitCarac()))
            InsererValeur(dm, idProduit, *c);
}

// The checks made before anything else; false (and the issue set) when the
// save stops there.
bool DemandeRecevable(const TDemandeEnregistrement& d, TResultatEnregistrement& r)
{
    if (d.valeurs.libelle.isEmpty()) {
        Prompts().Message("Veuillez renseigner un libellé");
        r.issue = TIssueEnregistrement::LibelleVide;
        return false;
    }
    if (!d.produit && !d.categorieCible) {
        Prompts().Information("Veuillez choisir la catégorie du produit");
        r.issue = TIssueEnregistrement::CategorieRefusee;
        return false;
    }
    // With no node selected the product stays where it is.
    r.categorie = d.categorieCible.value_or(d.categorieInitiale);
    if (!d.produit && r.categorie == 0) {
        Prompts().Information(RacineRefusee);
        r.issue = TIssueEnregistrement::CategorieRefusee;
        return false;
    }
    return true;
}

// The picked image copied under a temporary name, before any row is
// written: its extension when ready, otherwise why it failed.
std::unique_ptr<TImageEnAttente> PreparerImage(const QString& choisie, QString& extension, QString& echec)
{
    if (choisie.isEmpty() || !ExtensionImageAcceptee(ExtensionImage(choisie)))
        return nullptr;
    auto image = std::make_unique<TImageEnAttente>(choisie);
    if (image->Prete())
        extension = ExtensionImage(choisie);
    else
        echec = image->Echec();
    return image;
}

// What the change of an existing product wrote, for the steps after the
// commit.
struct TModification {
    QString lienAvant;  // `Lien` as stored before the write
    QString categorieAtteinte;  // label of the category moved into, if moved
};

// The change of an existing product: the row read again and locked, the
// questions, then the writes.
TIssueAccord EcrireModification(TdmKestravel& dm, const TDemandeEnregistrement& d, bool deplacer,
                                TResultatEnregistrement& r, const QString& extension, TModification& m)
{
    const TProduit& p = *d.produit;
    std::optional<TProduit> maintenant;
    std::shared_ptr<TListeCaracValeurs> valeurs;
    return EcrireAvecAccord(
        dm,
        [&] {
            maintenant = LireProduit(dm, p.GetExterne(), p.GetIdProduit(), p.GetIdProduitType(), true);
            if (maintenant)
                valeurs = ChargerCaracValeurs(dm, *maintenant);
            return maintenant.has_value();
        },
        [&] { return ConflitsProduit(d, *maintenant, *valeurs); },
        [&] {
            m.lienAvant = maintenant->GetLien();
            r.lien = extension.isEmpty() ? m.lienAvant : QString::number(r.idProduit) + extension;
            ModifierProduit(dm, d, *maintenant, r.lien);
            SynchroniserValeurs(dm, r.idProduit, d);
            if (deplacer) {
                ReserverCategorie(dm, 0, r.categorie);
                m.categorieAtteinte = LibelleCategorie(dm, 0, r.categorie).value_or(QString());
                ExecuterInstruction(dm.Connexion(),
                                    "UPDATE Produit SET IdProduitType = ? WHERE Externe = ? AND IdProduit = ?"
                                    " AND IdProduitType = ?",
                                    {r.categorie, p.GetExterne(), p.GetIdProduit(), p.GetIdProduitType()});
            }
        });
}
// The new product, or the change, in one transaction; false (the issue set)
// when nothing was written.
bool EcrireLignes(TdmKestravel& dm, const TDemandeEnregistrement& d, bool deplacer, const QString& extension,
                  TResultatEnregistrement& r, TModification& m)
{
    if (!d.produit) {
        TTransaction t(dm);
        r.idProduit = AjouterProduit(dm, d, r.categorie, extension);
        r.lien = extension.isEmpty() ? QString() : QString::number(r.idProduit) + extension;
        t.Commit();
        return true;
    }
    r.idProduit = d.produit->GetIdProduit();
    switch (EcrireModification(dm, d, deplacer, r, extension, m)) {
        case TIssueAccord::Ecrit:
            return true;
        case TIssueAccord::Disparu:
            // Deleted by another workstation since the editor opened: nothing
            // is written (the image copy goes) and the typed values stay in
            // the window.
            Prompts().Message(ProduitDisparu);
            r.issue = TIssueEnregistrement::ProduitDisparu;
            return false;
        case TIssueAccord::Annule:
            r.issue = TIssueEnregistrement::Annule;
            return false;
    }
    return false;
}

// Once the rows are committed: the image takes its name, then the old file
// of another name goes. `echec` receives why the image could not be placed.
void InstallerImage(TImageEnAttente* image, const QString& lien, const std::optional<QString>& lienAvant,
                    QString& echec)
{
    if (!image || !image->Prete())
        return;
    if (!image->Installer(CheminImagesInterne() + lien)) {
        echec = image->Echec();
    } else if (lienAvant && *lienAvant != lien) {
        const QString ancien = FichierImage(0, *lienAvant);
        if (!ancien.isEmpty())
            QFile::remove(ancien);
    }
}
}  // namespace

TValeursProduit ValeursStockees(const TProduit& p)
{
    TValeursProduit v;
    v.reference = p.GetReference();
    v.codeExport = p.GetCodeExport();
    v.libelle = p.GetLibelle();
    v.description = p.GetDescription();
    v.dateCreation = LireDateCourte(p.GetDateCreation());
    v.prixAchatHT = ArrondiMontant(p.GetPrixAchatHT());
    v.prixTarifHT = ArrondiMontant(p.GetPrixTarifHT());
    v.prixVenteHT = ArrondiMontant(p.GetPrixVenteHT());
    v.stock = p.GetStock();
    v.stockMini = p.GetStockMini();
    return v;
}

bool ExtensionImageAcceptee(const QString& extension)
{
    return extension == ".jpg" || extension == ".bmp" || extension == ".jpeg";
}

QString ExtensionImage(const QString& chemin)
{
    const QString suffixe = QFileInfo(chemin).suffix();
    return suffixe.isEmpty() ? QString() : "." + suffixe.toLower();
}

TResultatEnregistrement EnregistrerProduit(TdmKestravel& dm, const TDemandeEnregistrement& d)
{
    TResultatEnregistrement r;
    if (!DemandeRecevable(d, r))
        return r;
    const TProduit* p = d.produit;
    const int cible = r.categorie;

    // The move is asked before the write transaction starts.
    const bool changerCategorie = p && cible != d.categorieInitiale;
    const bool deplacer =
        changerCategorie && cible != 0 && Prompts().Confirmer("Vous voulez vraiment changer l'emplacement du produit?");

    QString extension, copieEchouee;
    const std::unique_ptr<TImageEnAttente> image = PreparerImage(d.imageChoisie, extension, copieEchouee);

    TModification m;
    if (!EcrireLignes(dm, d, deplacer, extension, r, m))
        return r;

    InstallerImage(image.get(), r.lien, p ? std::optional(m.lienAvant) : std::nullopt, copieEchouee);
    if (!copieEchouee.isEmpty())
        Prompts().Information(copieEchouee);
    if (changerCategorie && cible == 0)
        Prompts().Information(RacineRefusee);
    if (deplacer)
        Prompts().Information("Le produit a été déplacé dans la catégorie " + m.categorieAtteinte);
    return r;
}
