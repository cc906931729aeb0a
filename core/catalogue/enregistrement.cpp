#include "core/catalogue/enregistrement.h"

#include "core/base/chemins.h"
#include "core/base/prompts.h"
#include "core/store/acces.h"
#include "core/store/dates.h"
#include "core/store/dialecte.h"
#include "core/store/echecs.h"
#include "core/store/format.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
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
        const QByteArray de = QFile::encodeName(m_copie.fileName()), vers = QFile::encodeName(destination);
        if (std::rename(de.constData(), vers.constData()) != 0) {
            const int erreur = errno;
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

QString LibelleCategorie(TdmKestravel& dm, int idProduitType)
{
    TInstructionSql q = Interroger(
        dm.Connexion(), "SELECT Libelle FROM ProduitType WHERE Externe = 0 AND IdProduitType = ?", {idProduitType});
    return q.Etape() ? q.Texte(0) : QString();
}

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

int AjouterProduit(TdmKestravel& dm, const TDemandeEnregistrement& d, int categorie, const QString& extension)
{
    const TValeursProduit& v = d.valeurs;
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

// Writes the product row and its stock movement; false when the row is gone.
bool ModifierProduit(TdmKestravel& dm, const TProduit& p, const TValeursProduit& v, const QString& lien)
{
    const qint64 ecrites = ExecuterInstruction(
        dm.Connexion(),
        "UPDATE Produit SET Reference = ?, CodeExport = ?, Libelle = ?, Description = ?,"
        " DateCreation = ?, Lien = ?, PrixAchatHT = ?, PrixTarifHT = ?, PrixVenteHT = ?,"
        " Stock = ?, StockMini = ? WHERE Externe = ? AND IdProduit = ? AND IdProduitType = ?",
        {v.reference, v.codeExport, v.libelle, v.description, DateHeureBase(QDateTime(v.dateCreation, QTime(0, 0))),
         lien, ArrondiMontant(v.prixAchatHT), ArrondiMontant(v.prixTarifHT), ArrondiMontant(v.prixVenteHT), v.stock,
         v.stockMini, p.GetExterne(), p.GetIdProduit(), p.GetIdProduitType()});
    if (ecrites == 0)
        return false;
    if (p.GetStock() != v.stock && v.stock > 0)
        AjouterMouvementStock(dm.Connexion(), p.GetExterne(), p.GetIdProduit(), QVariant(), p.GetStock(), v.stock,
                              LibelleMisAJour);
    return true;
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
}  // namespace

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
    if (d.valeurs.libelle.isEmpty()) {
        Prompts().Message("Veuillez renseigner un libellé");
        r.issue = TIssueEnregistrement::LibelleVide;
        return r;
    }
    const TProduit* p = d.produit;
    if (!p && !d.categorieCible) {
        Prompts().Information("Veuillez choisir la catégorie du produit");
        r.issue = TIssueEnregistrement::CategorieRefusee;
        return r;
    }
    // With no node selected the product stays where it is.
    const int cible = d.categorieCible.value_or(d.categorieInitiale);
    r.categorie = cible;
    if (!p && cible == 0) {
        Prompts().Information(RacineRefusee);
        r.issue = TIssueEnregistrement::CategorieRefusee;
        return r;
    }

    // Every question is asked before the write transaction starts.
    const bool changerCategorie = p && cible != d.categorieInitiale;
    const bool deplacer =
        changerCategorie && cible != 0 && Prompts().Confirmer("Vous voulez vraiment changer l'emplacement du produit?");

    std::unique_ptr<TImageEnAttente> image;
    QString extension;
    QString copieEchouee;
    if (!d.imageChoisie.isEmpty() && ExtensionImageAcceptee(ExtensionImage(d.imageChoisie))) {
        image = std::make_unique<TImageEnAttente>(d.imageChoisie);
        if (image->Prete())
            extension = ExtensionImage(d.imageChoisie);
        else
            copieEchouee = image->Echec();
    }

    bool deplace = false;
    QString libelleCible;
    {
        TTransaction t(dm);
        if (!p) {
            r.idProduit = AjouterProduit(dm, d, cible, extension);
            r.lien = extension.isEmpty() ? QString() : QString::number(r.idProduit) + extension;
        } else {
            r.idProduit = p->GetIdProduit();
            r.lien = extension.isEmpty() ? p->GetLien() : QString::number(r.idProduit) + extension;
            if (!ModifierProduit(dm, *p, d.valeurs, r.lien)) {
                // Deleted by another workstation since the editor opened:
                // nothing is written (the transaction rolls back, the image
                // copy goes) and the typed values stay in the window.
                Prompts().Message(ProduitDisparu);
                r.issue = TIssueEnregistrement::ProduitDisparu;
                return r;
            }
            SynchroniserValeurs(dm, r.idProduit, d);
            if (deplacer) {
                libelleCible = LibelleCategorie(dm, cible);
                ExecuterInstruction(dm.Connexion(),
                                    "UPDATE Produit SET IdProduitType = ? WHERE Externe = ? AND IdProduit = ?"
                                    " AND IdProduitType = ?",
                                    {cible, p->GetExterne(), p->GetIdProduit(), p->GetIdProduitType()});
                deplace = true;
            }
        }
        t.Commit();
    }

    // The rows are committed: the image takes its name, then the old file
    // of another name goes.
    if (!extension.isEmpty()) {
        if (!image->Installer(CheminImagesInterne() + r.lien)) {
            copieEchouee = image->Echec();
        } else if (p && p->GetLien() != r.lien) {
            const QString ancien = FichierImage(0, p->GetLien());
            if (!ancien.isEmpty())
                QFile::remove(ancien);
        }
    }
    if (!copieEchouee.isEmpty())
        Prompts().Information(copieEchouee);
    if (changerCategorie && cible == 0)
        Prompts().Information(RacineRefusee);
    if (deplace)
        Prompts().Information("Le produit a été déplacé dans la catégorie " + libelleCible);
    return r;
}
