#include "core/serveur/stockserveur.h"

#include "core/exchange/controlestock.h"
#include "core/serveur/libpq.h"
#include "core/store/dates.h"
#include "core/store/erreurs.h"

#include <QDateTime>
#include <QSysInfo>

namespace {
// Integer arrays in the server's text form, "{1,2,3}".
QString Tableau(const QList<TCleProduit>& cles, int TCleProduit::*champ)
{
    QStringList v;
    v.reserve(cles.size());
    for (const TCleProduit& c : cles)
        v << QString::number(c.*champ);
    return '{' + v.join(',') + '}';
}

class TStockServeur : public IStockDemande {
public:
    explicit TStockServeur(TConnexionPg& c) : m_c(c), m_poste(QSysInfo::machineHostName()) {}

    ~TStockServeur() override
    {
        if (m_ouverte) {
            try {
                m_c.Executer("ROLLBACK");
            } catch (...) {
                // A connection that is gone has rolled back by itself.
            }
        }
    }

    void Commencer() override
    {
        m_c.Executer("BEGIN");
        m_ouverte = true;
    }

    void Verrouiller(const QList<TCleProduit>& cles) override
    {
        if (cles.isEmpty())
            return;
        m_c.Executer("SELECT 1 FROM Produit WHERE (Externe, IdProduit, IdProduitType) IN"
                     " (SELECT * FROM unnest($1::bigint[], $2::bigint[], $3::bigint[]))"
                     " ORDER BY Externe, IdProduit, IdProduitType FOR UPDATE",
                     {Tableau(cles, &TCleProduit::externe), Tableau(cles, &TCleProduit::idProduit),
                      Tableau(cles, &TCleProduit::idProduitType)});
    }

    void Valider() override
    {
        try {
            m_c.Executer("COMMIT");
        } catch (const EDatabaseError& e) {
            // The server may have committed before the connection broke.
            m_ouverte = false;
            throw ECommitIncertain(e.Message());
        }
        m_ouverte = false;
    }

    std::optional<TProduitStock> Produit(int externe, int idProduit, int idProduitType) override
    {
        const TResultatPg r = m_c.Executer(
            "SELECT COALESCE(Stock, 0), Libelle, Description, Reference, COALESCE(PrixAchatHT, 0),"
            " COALESCE(PrixTarifHT, 0), COALESCE(PrixVenteHT, 0), Lien FROM Produit"
            " WHERE Externe = $1 AND IdProduit = $2 AND IdProduitType = $3",
            {externe, idProduit, idProduitType});
        if (r.Lignes() == 0)
            return std::nullopt;
        TProduitStock p;
        p.stock = int(r.Entier(0, 0));
        TProduitEchange& e = p.donnees;
        e.externe = externe;
        e.idProduit = idProduit;
        e.idProduitType = idProduitType;
        e.libelle = r.Texte(0, 1);
        e.description = r.Texte(0, 2);
        e.reference = r.Texte(0, 3);
        e.prixAchatHT = r.Texte(0, 4).toDouble();
        e.prixTarifHT = r.Texte(0, 5).toDouble();
        e.prixVenteHT = r.Texte(0, 6).toDouble();
        e.lien = r.Texte(0, 7);
        return p;
    }

    void MouvoirStock(int externe, int idProduit, int idProduitType, int avant, int apres,
                      const QString& libelle) override
    {
        m_c.Executer("UPDATE Produit SET Stock = $1 WHERE Externe = $2 AND IdProduit = $3 AND IdProduitType = $4",
                     {apres, externe, idProduit, idProduitType});
        m_c.Executer("INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew,"
                     " Libelle, DateMaj) VALUES ($1, $2, $3, $4, $5, $6, $7)",
                     {externe, idProduit, idProduitType, avant, apres, libelle,
                      DateHeureBase(QDateTime::currentDateTime())});
    }

    // Only this machine's: the temporary files of the others are on their disks.
    QList<TDemandeEnCours> EnCours() override
    {
        const TResultatPg r = m_c.Executer(
            "SELECT Id, Chemin, Temporaire, encode(Empreinte, 'hex') FROM ControleEnCours WHERE Poste = $1",
            {m_poste});
        QList<TDemandeEnCours> enCours;
        for (int l = 0; l < r.Lignes(); ++l)
            enCours.append({r.Entier(l, 0), r.Texte(l, 1), r.Texte(l, 2), QByteArray::fromHex(r.Texte(l, 3).toLatin1())});
        return enCours;
    }

    void Oublier(qint64 id) override { m_c.Executer("DELETE FROM ControleEnCours WHERE Id = $1", {id}); }

    void Noter(const QString& chemin, const QString& temporaire, const QByteArray& empreinte) override
    {
        m_c.Executer("INSERT INTO ControleEnCours (Poste, Chemin, Temporaire, Empreinte)"
                     " VALUES ($1, $2, $3, decode($4, 'hex'))",
                     {m_poste, chemin, temporaire, QString::fromLatin1(empreinte.toHex())});
    }

private:
    TConnexionPg& m_c;
    QString m_poste;
    bool m_ouverte = false;
};
}  // namespace

void ControlerStockServeur(const QString& connexion, const QString& verrouDemandes, const QString& chemin)
{
    TConnexionPg c(connexion);
    TStockServeur stock(c);
    AppliquerDemande(stock, verrouDemandes, chemin);
}
