#include "core/exchange/controlestock.h"

#include "core/base/systeme.h"
#include "core/exchange/fichierechange.h"
#include "core/exchange/remplacementfichier.h"
#include "core/exchange/xmldoc.h"
#include "core/store/acces.h"
#include "core/store/basesql.h"
#include "core/store/dates.h"
#include "core/store/dialecte.h"
#include "core/store/erreurs.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
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
        TInstructionSql& m = Preparee(m_mouvement, InsertionMouvementStock);
        LierMouvementStock(m, externe, idProduit, idProduitType, avant, apres, libelle);
        m.Executer();
    }

    QList<TDemandeEnCours> EnCours() override
    {
        PreparerTable();
        QList<TDemandeEnCours> enCours;
        TInstructionSql q(m_base,
                          QStringLiteral("SELECT %1, Chemin, Temporaire, Empreinte, EmpreinteResultat,"
                                         " Resultat IS NOT NULL FROM ")
                                  .arg(Dialecte::IdLigne)
                              + TableEnCours);
        while (q.Etape()) {
            TDemandeEnCours d;
            d.id = q.Entier(0);
            d.chemin = q.Texte(1);
            d.temporaire = q.Texte(2);
            d.empreinte = q.Octets(3).toByteArray();
            d.empreinteResultat = q.Octets(4).toByteArray();
            d.resultatGarde = q.Entier(5) != 0;
            enCours.append(d);
        }
        return enCours;
    }

    QByteArray Resultat(qint64 id) override
    {
        TInstructionSql q(m_base, "SELECT Resultat FROM " + TableEnCours + " WHERE " + Dialecte::IdLigne + " = ?");
        q.LierEntier(1, id);
        return q.Etape() ? q.Octets(0).toByteArray() : QByteArray();
    }

    void Oublier(qint64 id) override { ExecuterSurLigne("DELETE FROM " + TableEnCours, id); }

    void Clore(qint64 id) override
    {
        ExecuterSurLigne("UPDATE " + TableEnCours + " SET Resultat = NULL, Temporaire = ''", id);
    }

    void Publiee(const QString& chemin) noexcept override
    {
        try {
            const QString synchronisation = m_base.Valeur("PRAGMA synchronous").toString();
            m_base.Executer(Dialecte::SansSynchronisation);
            TInstructionSql q(m_base, "UPDATE " + TableEnCours + " SET Resultat = NULL WHERE Chemin = ?");
            q.LierTexte(1, chemin);
            q.Executer();
            m_base.Executer("PRAGMA synchronous=" + synchronisation);
        } catch (const EDatabaseError&) {
            // Left open: closed by the next request.
        }
    }

    void Noter(const TDemandeEnCours& d, const QByteArray& resultat, const QString& date,
               const QString& perime) override
    {
        TInstructionSql oubli(m_base, "DELETE FROM " + TableEnCours
                                          + " WHERE Chemin = ? OR (Resultat IS NULL AND Temporaire = '' AND DateMaj < ?)");
        oubli.LierTexte(1, d.chemin);
        oubli.LierTexte(2, perime);
        oubli.Executer();
        TInstructionSql q(m_base, "INSERT INTO " + TableEnCours
                                      + " (Chemin, Temporaire, Empreinte, EmpreinteResultat, Resultat, DateMaj)"
                                        " VALUES (?, '', ?, ?, ?, ?)");
        q.LierTexte(1, d.chemin);
        q.LierTexte(2, QByteArrayView(d.empreinte));
        q.LierTexte(3, QByteArrayView(d.empreinteResultat));
        q.LierTexte(4, QByteArrayView(resultat));
        q.LierTexte(5, date);
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

    // The table lives in the catalogue file, made at the first request;
    // one made by an earlier version gains the columns of the outcomes.
    void PreparerTable()
    {
        m_base.Executer("CREATE TABLE IF NOT EXISTS " + TableEnCours
                        + " (Chemin TEXT NOT NULL, Temporaire TEXT NOT NULL, Empreinte BLOB NOT NULL,"
                          " EmpreinteResultat BLOB, Resultat BLOB, DateMaj TEXT)");
        QStringList colonnes;
        for (const TBaseSql::TColonne& c : m_base.Colonnes(TableEnCours))
            colonnes << c.nom;
        for (const char* c : {"EmpreinteResultat", "Resultat", "DateMaj"})
            if (!colonnes.contains(QLatin1String(c), Qt::CaseInsensitive))
                m_base.Executer("ALTER TABLE " + TableEnCours + " ADD COLUMN " + c);
    }

    void ExecuterSurLigne(const QString& instruction, qint64 id)
    {
        TInstructionSql q(m_base, instruction + " WHERE " + Dialecte::IdLigne + " = ?");
        q.LierEntier(1, id);
        q.Executer();
    }

    const TBaseSql& m_base;
    std::optional<TTransactionSql> m_transaction;
    std::optional<TInstructionSql> m_lecture, m_ecriture, m_mouvement;
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

// The outcomes kept with the commit. A sale's few lines are kept as they
// are: compressing them would cost more than writing them (zlib sets up a
// quarter of a megabyte for each stream). The mark in front cannot begin
// compressed data, whose first four bytes are its length (big-endian).
const QByteArray NonCompresse = QByteArrayLiteral("\xFF\xFF\xFF\xFF");
QByteArray Garder(const QByteArray& resultat)
{
    return resultat.size() < 4096 ? NonCompresse + resultat : qCompress(resultat, 1);
}

QByteArray Relire(const QByteArray& garde)
{
    return garde.startsWith(NonCompresse) ? garde.mid(NonCompresse.size()) : qUncompress(garde);
}

// A request answered is remembered this long, for a host that sends it
// again; rows of closed requests older than that go with the next request.
QString DatePeremption() { return DateHeureBase(QDateTime::currentDateTime().addDays(-7)); }

// Only one request of an installation at a time may look at or leave
// requests in flight: an exclusive lock on a file of the installation,
// which the system frees when its holder ends, even killed.
class TVerrouDemandes {
public:
    explicit TVerrouDemandes(const QString& chemin)
    {
        if (const int erreur = m_verrou.Prendre(chemin))
            throw EKestravel(MessageEcritureImpossible(chemin, erreur));
    }

private:
    Systeme::TVerrouExclusif m_verrou;
};

// A row of an earlier version, whose outcomes wait in a temporary file:
// renamed over its request when that still holds what the host wrote. Only
// a temporary file named as this module names them, beside the request, is
// ever renamed or removed. True when the outcomes reached the request.
bool ReprendreAncienne(IStockDemande& stock, const TDemandeEnCours& d)
{
    stock.Oublier(d.id);
    if (!TemporaireDe(d.chemin, d.temporaire) || !QFileInfo::exists(d.temporaire))
        return false;
    QByteArray actuel;
    if (Lire(d.chemin, actuel) && Empreinte(actuel) == d.empreinte) {
        Renommer(d.temporaire, d.chemin);
        return true;
    }
    QFile::remove(d.temporaire);
    return false;
}

// Finishes this installation's requests that were committed but whose
// outcomes never reached their file (see AppliquerDemande), and closes the
// ones that did. True when the request at `chemin`, whose bytes have
// `empreinte`, is thereby answered: it was one of them, or its file already
// holds the outcomes of one of them; it must then not be applied again.
bool ReprendreInterrompues(IStockDemande& stock, const QString& chemin, const QByteArray& empreinte)
{
    bool repondue = false;
    for (const TDemandeEnCours& d : stock.EnCours()) {
        const bool ici = d.chemin == chemin;
        if (!d.EnAttente()) {
            repondue = repondue || (ici && empreinte == d.empreinteResultat);
            continue;
        }
        if (!d.temporaire.isEmpty()) {
            if (ReprendreAncienne(stock, d) && ici)
                repondue = true;
            continue;
        }
        QByteArray actuel;
        const QByteArray empreinteActuelle = ici ? empreinte : Lire(d.chemin, actuel) ? Empreinte(actuel) : QByteArray();
        if (empreinteActuelle != d.empreinte) {
            // The outcomes reached the file, or the host has put another
            // file there, which is its own.
            stock.Clore(d.id);
            repondue = repondue || (ici && empreinte == d.empreinteResultat);
            continue;
        }
        try {
            TRemplacementFichier(d.chemin, Relire(stock.Resultat(d.id))).Publier();
        } catch (const EKestravel&) {
            // Another request's file that cannot be written now must not
            // stop this sale: it is finished when it can be.
            if (ici)
                throw;
            continue;
        }
        stock.Clore(d.id);
        repondue = repondue || ici;
    }
    return repondue;
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
// makes the pair atomic across a crash at any instant and a full disk, and
// applies each request once:
//
//  1. The installation's requests lock is taken; under it the request's
//     bytes O are read. A request in flight is known by its place (its
//     canonical path; on a server also the login, the machine and the
//     installation) and by its bytes, never by its bytes alone: two tills'
//     identical requests are two sales.
//  2. One write transaction begins. Requests committed earlier whose
//     outcomes never reached their file are finished (below); stale
//     temporary files of this request's earlier attempts are removed.
//  3. Every line is handled inside the transaction; the outcome document R
//     is written out in memory and checked (parsed back, it must be the
//     same document), then to a temporary file beside the request, not yet
//     flushed: a full disk or a file that may not be written is known here.
//  4. A row (path, fingerprints of O and R, R itself) goes into
//     `ControleEnCours` and the transaction commits.
//  5. The temporary file is flushed and renamed over the request, and the
//     row closed: its outcomes are in the file.
//
// Any failure up to 4 rolls back: nothing moved and the file is as the host
// wrote it. After 5 the file shows the outcomes and the stock moved. A crash
// between 4 and 5 leaves a row whose file still holds O: the next request of
// the installation writes R from the row over it (roll forward), and when
// that next request is O itself, sent again by the host, it is answered
// that way instead of being applied twice. A request sent again whose file
// already shows R (another request finished it meanwhile) is recognised by
// R's fingerprint, kept for a few days, and left as it is. Once a row is
// closed, the same bytes at the same place are a new request: a till that
// sells the same item twice writes the same file twice. Rows are kept only
// per place, the last request's, so they do not grow with the sales.
void AppliquerDemande(IStockDemande& stock, const QString& verrouDemandes, const QString& cheminDemande)
{
    TVerrouDemandes verrou(verrouDemandes);
    TXmlDoc doc(RacineEchange);
    const QByteArray empreinte = Empreinte(doc.LoadFromFile(cheminDemande));
    // The file itself, not a link to it, is replaced.
    const QString chemin = QFileInfo(cheminDemande).canonicalFilePath();

    // One write transaction for the whole request: two processes handling
    // requests on the same catalogue never both take the same stock, and a
    // request that fails anywhere moves nothing.
    stock.Commencer();
    const bool repondue = ReprendreInterrompues(stock, chemin, empreinte);
    SupprimerTemporairesDe(chemin);
    if (repondue) {
        stock.Valider();
        return;
    }
    stock.Verrouiller(ProduitsDeLaDemande(doc));
    TraiterDemande(stock, doc);
    QByteArray resultat;
    try {
        resultat = doc.Contenu();
    } catch (const EKestravel& e) {
        throw EKestravel(QStringLiteral("La demande « %1 » est refusée et rien n'a été modifié. %2")
                             .arg(cheminDemande, e.Message()));
    }
    TRemplacementFichier remplacement(chemin, resultat, TRemplacementFichier::Vidage::AuRemplacement);
    TDemandeEnCours demande;
    demande.chemin = chemin;
    demande.empreinte = empreinte;
    demande.empreinteResultat = Empreinte(resultat);
    stock.Noter(demande, Garder(resultat), DateHeureBase(QDateTime::currentDateTime()), DatePeremption());
    try {
        stock.Valider();
    } catch (const ECommitIncertain& e) {
        throw EKestravel(e.Message()
                         + QStringLiteral(" Si le serveur a enregistré la demande, ses résultats seront écrits dans "
                                          "la demande au prochain contrôle de stock."));
    }
    try {
        remplacement.Publier();
    } catch (const EKestravel& e) {
        throw EKestravel(e.Message()
                         + QStringLiteral(" Le stock a bien été mis à jour : les résultats seront écrits dans la "
                                          "demande au prochain contrôle de stock."));
    }
    stock.Publiee(chemin);
}

void ControlerStock(const TBaseSql& base, const QString& cheminBase, const QString& chemin)
{
    TStockFichier stock(base);
    AppliquerDemande(stock, cheminBase + "-controle", chemin);
}
