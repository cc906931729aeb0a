#include "core/exchange/controlestock.h"

#include "core/exchange/fichierechange.h"
#include "core/exchange/xmldoc.h"
#include "core/store/acces.h"
#include "core/store/basesql.h"
#include "core/store/dialecte.h"
#include "core/store/erreurs.h"

#include "core/exchange/remplacementfichier.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <limits>

namespace {
const QString EtatOk = QStringLiteral("Ok");
const QString EtatSupprimer = QStringLiteral("Supprimer");
const QString EtatEpuiser = QStringLiteral("Epuiser");
const QString EtatActualiser = QStringLiteral("Actualiser");
const QString EtatVide = QStringLiteral("Vide");
const QString TableEnCours = QStringLiteral("ControleEnCours");

// Handles one line against the catalogue and returns its outcome.
QString TraiterLigne(IStockDemande& stock, const TXmlNodeRef& ligne)
{
    const QString type = ligne.ReadAttributeString("Type", QString());
    const int externe = ligne.ReadAttributeInteger("Externe", -1);
    const int idProduit = ligne.ReadAttributeInteger("IdProduit", -1);
    const int idProduitType = ligne.ReadAttributeInteger("IdProduitType", -1);
    const std::optional<TProduitStock> produit = stock.Produit(externe, idProduit, idProduitType);
    if (!produit)
        return EtatSupprimer;

    const int quantite = ligne.ReadAttributeInteger("Quantite", -1);
    if (type == "Actualiser") {
        TProduitEchange e = produit->donnees;
        e.quantite = quantite;
        EcrireDateExport(ligne);
        EcrireProduitEchange(ligne, e);
        return EtatActualiser;
    }
    if (type != "Commander" && type != "Remonter")
        return EtatVide;
    // A missing, unreadable or negative quantity would move stock the wrong
    // way: such a line moves nothing.
    if (quantite < 0)
        return EtatVide;
    const int avant = produit->stock;
    if (type == "Remonter") {
        // Nor may giving back overflow the stock field.
        if (qint64(avant) + quantite > std::numeric_limits<qint32>::max())
            return EtatVide;
        stock.MouvoirStock(externe, idProduit, idProduitType, avant, avant + quantite, LibelleCommandeAnnulee);
        return EtatOk;
    }
    if (avant < quantite) {
        ligne.WriteAttribute("Stock", QString::number(avant));
        return EtatEpuiser;
    }
    stock.MouvoirStock(externe, idProduit, idProduitType, avant, avant - quantite, LibellePassageCommande);
    return EtatOk;
}

// The file's side: three statements prepared once for the request, inside
// one write transaction (which keeps every other writer out). A sale opens
// no cursor: reading a product is one keyed lookup.
class TStockFichier : public IStockDemande {
public:
    explicit TStockFichier(const TBaseSql& base) : m_base(base) {}

    void Commencer() override { m_transaction.emplace(m_base); }
    void Valider() override { m_transaction->Commit(); }

    std::optional<TProduitStock> Produit(int externe, int idProduit, int idProduitType) override
    {
        TInstructionSql& q = Preparee(m_lecture,
                                      "SELECT Stock, Libelle, Description, Reference, PrixAchatHT, PrixTarifHT,"
                                      " PrixVenteHT, Lien FROM Produit"
                                          + CleProduit);
        Lier(q, 1, externe, idProduit, idProduitType);
        if (!q.Etape())
            return std::nullopt;
        TProduitStock r;
        r.stock = int(q.Entier(0));
        TProduitEchange& e = r.donnees;
        e.externe = externe;
        e.idProduit = idProduit;
        e.idProduitType = idProduitType;
        e.libelle = q.Texte(1);
        e.description = q.Texte(2);
        e.reference = q.Texte(3);
        e.prixAchatHT = q.Reel(4);
        e.prixTarifHT = q.Reel(5);
        e.prixVenteHT = q.Reel(6);
        e.lien = q.Texte(7);
        return r;
    }

    void MouvoirStock(int externe, int idProduit, int idProduitType, int avant, int apres,
                      const QString& libelle) override
    {
        TInstructionSql& q = Preparee(m_ecriture, "UPDATE Produit SET Stock = ?" + CleProduit);
        q.LierEntier(1, apres);
        Lier(q, 2, externe, idProduit, idProduitType);
        q.Executer();
        if (m_base.LignesModifiees() != 1)
            throw EDatabaseError(QStringLiteral("Le produit %1/%2/%3 a disparu du catalogue.")
                                     .arg(externe)
                                     .arg(idProduit)
                                     .arg(idProduitType));
        AjouterMouvementStock(m_base, externe, idProduit, idProduitType, avant, apres, libelle);
    }

    QList<TDemandeEnCours> EnCours() override
    {
        m_base.Executer("CREATE TABLE IF NOT EXISTS " + TableEnCours
                        + " (Chemin TEXT NOT NULL, Temporaire TEXT NOT NULL, Empreinte BLOB NOT NULL)");
        QList<TDemandeEnCours> enCours;
        TInstructionSql q(
            m_base,
            QStringLiteral("SELECT %1, Chemin, Temporaire, Empreinte FROM ").arg(Dialecte::IdLigne) + TableEnCours);
        while (q.Etape())
            enCours.append({q.Entier(0), q.Texte(1), q.Texte(2), q.Octets(3).toByteArray()});
        return enCours;
    }

    void Oublier(qint64 id) override
    {
        TInstructionSql q(m_base, "DELETE FROM " + TableEnCours + " WHERE " + Dialecte::IdLigne + " = ?");
        q.LierEntier(1, id);
        q.Executer();
    }

    void Noter(const QString& chemin, const QString& temporaire, const QByteArray& empreinte) override
    {
        TInstructionSql q(m_base, "INSERT INTO " + TableEnCours + " (Chemin, Temporaire, Empreinte) VALUES (?, ?, ?)");
        q.LierTexte(1, chemin);
        q.LierTexte(2, temporaire);
        q.LierTexte(3, QByteArrayView(empreinte));
        q.Executer();
    }

private:
    inline static const QString CleProduit =
        QStringLiteral(" WHERE Externe = ? AND IdProduit = ? AND IdProduitType = ?");

    // The statement, prepared at its first use and ready to run again.
    TInstructionSql& Preparee(std::optional<TInstructionSql>& q, const QString& sql)
    {
        if (q)
            q->Reinitialiser();
        else
            q.emplace(m_base, sql);
        return *q;
    }

    static void Lier(TInstructionSql& q, int position, int externe, int idProduit, int idProduitType)
    {
        q.LierEntier(position, externe);
        q.LierEntier(position + 1, idProduit);
        q.LierEntier(position + 2, idProduitType);
    }

    const TBaseSql& m_base;
    std::optional<TTransactionSql> m_transaction;
    std::optional<TInstructionSql> m_lecture, m_ecriture;
};

// The products the request names, each once, in key order.
QList<TCleProduit> ProduitsDeLaDemande(const TXmlDoc& doc)
{
    TXmlNodeRefList lignes;
    doc.Root().ChildrenByName(ElementProduit, lignes);
    QList<TCleProduit> cles;
    for (int i = 0; i < lignes.Count(); ++i) {
        const TXmlNodeRef l = lignes.Get(i);
        cles.append({l.ReadAttributeInteger("Externe", -1), l.ReadAttributeInteger("IdProduit", -1),
                     l.ReadAttributeInteger("IdProduitType", -1)});
    }
    std::sort(cles.begin(), cles.end());
    cles.erase(std::unique(cles.begin(), cles.end()), cles.end());
    return cles;
}

// Reads a whole file; false when it cannot be read.
bool Lire(const QString& chemin, QByteArray& contenu)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    contenu = f.readAll();
    return f.error() == QFileDevice::NoError;
}

QByteArray Empreinte(const QByteArray& contenu)
{
    return QCryptographicHash::hash(contenu, QCryptographicHash::Blake2b_256);
}

// Only one request at a time may look at or leave interrupted requests: an
// exclusive lock on a file beside the catalogue, which the system frees when
// its holder ends, even killed.
class TVerrouDemandes {
public:
    explicit TVerrouDemandes(const QString& chemin)
    {
        m_fd = ::open(QFile::encodeName(chemin).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd < 0)
            throw EKestravel(MessageEcritureImpossible(chemin, errno));
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const int erreur = errno;
                ::close(m_fd);
                throw EKestravel(MessageEcritureImpossible(chemin, erreur));
            }
        }
    }
    ~TVerrouDemandes() { ::close(m_fd); }
    TVerrouDemandes(const TVerrouDemandes&) = delete;
    TVerrouDemandes& operator=(const TVerrouDemandes&) = delete;

private:
    int m_fd = -1;
};

// Finishes the requests interrupted between their commit and the renaming
// of their file, and forgets the finished ones (see ControlerStock). True
// when the request at `chemin`, whose bytes have `empreinte`, is one of them
// sent again: its outcomes are then in `chemin` and it must not be applied.
bool ReprendreInterrompues(IStockDemande& stock, const QString& chemin, const QByteArray& empreinte)
{
    bool reconnue = false;
    for (const TDemandeEnCours& e : stock.EnCours()) {
        stock.Oublier(e.id);
        // Its temporary file renamed: that request was finished.
        if (!QFileInfo::exists(e.temporaire))
            continue;
        if (e.empreinte == empreinte && e.chemin != chemin) {
            // Sent again under another name: that file receives the outcomes.
            QByteArray resultat;
            if (!Lire(e.temporaire, resultat))
                throw EKestravel(QStringLiteral("Lecture impossible du fichier « %1 ».").arg(e.temporaire));
            TRemplacementFichier(chemin, resultat).Publier();
            reconnue = true;
        }
        QByteArray actuel;
        if (Lire(e.chemin, actuel) && Empreinte(actuel) == e.empreinte) {
            Renommer(e.temporaire, e.chemin);
            reconnue = reconnue || e.chemin == chemin;
        } else {
            // The host has put something else there: its file is its own.
            QFile::remove(e.temporaire);
        }
    }
    return reconnue;
}
}  // namespace

void TraiterDemande(IStockDemande& stock, const TXmlDoc& doc)
{
    TXmlNodeRefList lignes;
    doc.Root().ChildrenByName(ElementProduit, lignes);
    for (int i = 0; i < lignes.Count(); ++i) {
        const TXmlNodeRef ligne = lignes.Get(i);
        ligne.WriteAttribute("Etat", TraiterLigne(stock, ligne));
    }
}

// How the host's file and the stock stay in agreement.
//
// The outcomes go into the host's file and the stock moves into the
// catalogue: two places that no single write covers. The order of the steps
// makes the pair atomic across a crash at any instant and a full disk:
//
//  1. The request's bytes O are read, and under the lock of the requests
//     one write transaction begins.
//  2. Interrupted requests are finished first (below).
//  3. Every line is handled inside the transaction; the outcome document R
//     is written out in memory and checked (parsed back, it must be the
//     same document).
//  4. R goes to a temporary file beside the request, flushed to disk.
//  5. A row (request path, temporary file, fingerprint of O) is added to
//     `ControleEnCours` and the transaction commits.
//  6. The temporary file is renamed over the request.
//
// Any failure up to 5 (full disk, file not writable, a file that cannot be
// written back faithfully, a database error) rolls back: nothing moved and
// the file is as the host wrote it. After 6 the file shows the outcomes and
// the stock moved. A crash between 5 and 6 leaves a row whose temporary file
// still exists: the next request finishes it before its own work, renaming
// the temporary file over its request when that still holds O (roll
// forward); and when the new request is O itself, sent again by the host, it
// is recognised by its fingerprint and answered with R instead of being
// applied twice. A row whose temporary file is gone belongs to a finished
// request and is forgotten. The lock, held from 1 to 6, keeps a request in
// progress from being taken for an interrupted one.
void AppliquerDemande(IStockDemande& stock, const QString& verrouDemandes, const QString& cheminDemande)
{
    TXmlDoc doc(RacineEchange);
    const QByteArray empreinte = Empreinte(doc.LoadFromFile(cheminDemande));
    // The file itself, not a link to it, is replaced.
    const QString chemin = QFileInfo(cheminDemande).canonicalFilePath();

    TVerrouDemandes verrou(verrouDemandes);
    // One write transaction for the whole request: two processes handling
    // requests on the same catalogue never both take the same stock, and a
    // request that fails anywhere moves nothing.
    stock.Commencer();
    stock.Verrouiller(ProduitsDeLaDemande(doc));
    if (ReprendreInterrompues(stock, chemin, empreinte)) {
        stock.Valider();
        return;
    }
    TraiterDemande(stock, doc);
    QByteArray resultat;
    try {
        resultat = doc.Contenu();
    } catch (const EKestravel& e) {
        throw EKestravel(QStringLiteral("La demande « %1 » est refusée et rien n'a été modifié. %2")
                             .arg(cheminDemande, e.Message()));
    }
    TRemplacementFichier remplacement(chemin, resultat);
    stock.Noter(chemin, remplacement.Temporaire(), empreinte);
    try {
        stock.Valider();
    } catch (const ECommitIncertain& e) {
        remplacement.Garder();
        throw EKestravel(e.Message()
                         + QStringLiteral(" Si le serveur a enregistré la demande, ses résultats seront écrits dans "
                                          "la demande au prochain contrôle de stock."));
    }
    remplacement.Garder();
    try {
        remplacement.Publier();
    } catch (const EKestravel& e) {
        throw EKestravel(e.Message()
                         + QStringLiteral(" Le stock a bien été mis à jour : les résultats seront écrits dans la "
                                          "demande au prochain contrôle de stock."));
    }
}

void ControlerStock(const TBaseSql& base, const QString& cheminBase, const QString& cheminDemande)
{
    TStockFichier stock(base);
    AppliquerDemande(stock, cheminBase + "-controle", cheminDemande);
}
