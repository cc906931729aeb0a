#pragma once
// The stock control request (`CONTROLE` mode): the host lists products with
// an action each ("Commander", "Actualiser", "Remonter"); every line is
// checked against the catalogue, stock is moved and each movement recorded,
// and the outcome of each line is written back into the same file.

#include "core/exchange/fichierechange.h"
#include "core/store/erreurs.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <tuple>

class TBaseSql;

// What the stock request reads of a product.
struct TProduitStock {
    int stock = 0;
    TProduitEchange donnees;  // for "Actualiser"
};

struct TCleProduit {
    int externe, idProduit, idProduitType;
    bool operator<(const TCleProduit& a) const
    {
        return std::tie(externe, idProduit, idProduitType) < std::tie(a.externe, a.idProduit, a.idProduitType);
    }
    bool operator==(const TCleProduit& a) const
    {
        return externe == a.externe && idProduit == a.idProduit && idProduitType == a.idProduitType;
    }
};

// The commit of a request whose outcome is unknown (the connection to the
// server broke during it): the outcomes went to the server with the commit,
// so the next request finishes it if the server did commit.
class ECommitIncertain : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// A request committed with its outcomes, as the catalogue keeps it until
// the outcomes are in its file, and then a few days more so that the host
// sending it again is answered rather than served twice.
struct TDemandeEnCours {
    qint64 id = 0;
    QString chemin;  // the request's file, canonical
    QByteArray empreinte;  // of the request as the host wrote it
    QByteArray empreinteResultat;  // of the file with the outcomes
    // The file with the outcomes (compressed) is kept until it is known to
    // have reached the request's place (IStockDemande::Resultat).
    bool resultatGarde = false;
    // Rows of earlier versions: the outcomes wait in this temporary file.
    QString temporaire;
    bool EnAttente() const { return resultatGarde || !temporaire.isEmpty(); }
};

// The catalogue as a stock request uses it, file or server: one write
// transaction, the products' stock read and moved with their `Transaction`
// rows, and the requests in flight (`ControleEnCours`) of this installation
// only (on a server: of this login, this machine and this installation).
// Throws EDatabaseError; an object dropped before Valider() rolls back.
class IStockDemande {
public:
    virtual ~IStockDemande() = default;
    virtual void Commencer() = 0;
    // Takes the products' rows for the transaction, where the engine locks
    // rows (in key order, so two requests never wait on each other).
    virtual void Verrouiller(const QList<TCleProduit>& /*cles*/) {}
    virtual void Valider() = 0;
    virtual std::optional<TProduitStock> Produit(int externe, int idProduit, int idProduitType) = 0;
    // Sets the stock from `avant` to `apres` and records the movement.
    virtual void MouvoirStock(int externe, int idProduit, int idProduitType, int avant, int apres,
                              const QString& libelle) = 0;
    virtual QList<TDemandeEnCours> EnCours() = 0;
    // The outcomes kept with a request in flight, compressed.
    virtual QByteArray Resultat(qint64 id) = 0;
    virtual void Oublier(qint64 id) = 0;
    // The outcomes are no longer needed: they reached the file, or the host
    // put another file in its place. The fingerprints stay.
    virtual void Clore(qint64 id) = 0;
    // After the commit: the outcomes of the request at `chemin` are in its
    // file. Not flushed to disk (the process ends; a row left open is closed
    // by the next request, which finds the outcomes in the file). Never
    // throws: the request succeeded whatever happens here.
    virtual void Publiee(const QString& chemin) noexcept = 0;
    // Records a request with its outcomes (compressed), replacing what was
    // kept of an earlier request at the same place and forgetting the
    // closed ones older than `perime`; dates in the catalogue's form.
    virtual void Noter(const TDemandeEnCours& demande, const QByteArray& resultat, const QString& date,
                       const QString& perime) = 0;
};

// Handles the whole request in one write transaction and writes the
// outcomes back into the file; the file and the catalogue agree after a
// crash at any instant (the protocol is described in controlestock.cpp).
// `verrouDemandes` is the file whose lock keeps this machine's requests one
// at a time. Throws EKestravel/EDatabaseError; nothing is then moved and the
// file is as it was, unless only the last step, renaming the written
// outcomes over the file, failed: the next request then finishes it.
void AppliquerDemande(IStockDemande& stock, const QString& verrouDemandes, const QString& chemin);
// The same on the catalogue file at `cheminBase`, open on `base`.
void ControlerStock(const TBaseSql& base, const QString& cheminBase, const QString& chemin);
// Handles every `Produit` line of a loaded request and writes its `Etat`
// (and `Stock`, or the refreshed data) into it; no transaction, no file.
void TraiterDemande(IStockDemande& stock, const TXmlDoc& doc);
