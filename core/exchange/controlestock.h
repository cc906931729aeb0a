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
// server broke during it): the outcomes are kept beside the request so that
// the next request finishes it if the server did commit.
class ECommitIncertain : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// A request committed but whose outcomes were not yet renamed over its file.
struct TDemandeEnCours {
    qint64 id;
    QString chemin, temporaire;
    QByteArray empreinte;
};

// The catalogue as a stock request uses it, file or server: one write
// transaction, the products' stock read and moved with their `Transaction`
// rows, and the requests in flight (`ControleEnCours`). Throws
// EDatabaseError; an object dropped before Valider() rolls back.
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
    virtual void Oublier(qint64 id) = 0;
    virtual void Noter(const QString& chemin, const QString& temporaire, const QByteArray& empreinte) = 0;
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
