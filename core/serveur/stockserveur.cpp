#include "core/serveur/stockserveur.h"

#include "core/exchange/controlestock.h"
#include "core/store/dates.h"
#include "core/store/erreurs.h"
#include "core/store/libpq.h"

#include <QDateTime>
#include <QMap>
#include <QSysInfo>
#include <set>

namespace {
// One column of an array parameter in the server's text form: {1,2,"a b"}.
template <class T, class F>
QString Tableau(const QList<T>& lignes, F valeur)
{
    QStringList v;
    v.reserve(lignes.size());
    for (const T& l : lignes) {
        const QVariant x = valeur(l);
        if (x.typeId() == QMetaType::QString)
            v << '"' + x.toString().replace('\\', "\\\\").replace('"', "\\\"") + '"';
        else
            v << x.toString();
    }
    return '{' + v.join(',') + '}';
}

const QString ClesEnTableaux = QStringLiteral("unnest($1::bigint[], $2::bigint[], $3::bigint[])");

// The server's side of a request. The rows of every product it names are
// locked and read at once, in key order; the lines are then handled on
// those rows, and the stock moves are written in two statements at the
// commit. A request of ten thousand lines is a handful of round trips.
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
        const TResultatPg r = m_c.Executer(
            "SELECT Externe, IdProduit, IdProduitType, COALESCE(Stock, 0), Libelle, Description, Reference,"
            " COALESCE(PrixAchatHT, 0), COALESCE(PrixTarifHT, 0), COALESCE(PrixVenteHT, 0), Lien FROM Produit"
            " WHERE (Externe, IdProduit, IdProduitType) IN (SELECT * FROM " + ClesEnTableaux + ")"
            " ORDER BY Externe, IdProduit, IdProduitType FOR UPDATE",
            {Tableau(cles, [](const TCleProduit& k) { return k.externe; }),
             Tableau(cles, [](const TCleProduit& k) { return k.idProduit; }),
             Tableau(cles, [](const TCleProduit& k) { return k.idProduitType; })});
        for (int l = 0; l < r.Lignes(); ++l) {
            TProduitStock p;
            TProduitEchange& e = p.donnees;
            e.externe = int(r.Entier(l, 0));
            e.idProduit = int(r.Entier(l, 1));
            e.idProduitType = int(r.Entier(l, 2));
            p.stock = int(r.Entier(l, 3));
            e.libelle = r.Texte(l, 4);
            e.description = r.Texte(l, 5);
            e.reference = r.Texte(l, 6);
            e.prixAchatHT = r.Texte(l, 7).toDouble();
            e.prixTarifHT = r.Texte(l, 8).toDouble();
            e.prixVenteHT = r.Texte(l, 9).toDouble();
            e.lien = r.Texte(l, 10);
            m_produits.insert({e.externe, e.idProduit, e.idProduitType}, p);
        }
    }

    void Valider() override
    {
        Ecrire();
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
        const auto it = m_produits.constFind({externe, idProduit, idProduitType});
        if (it == m_produits.cend())
            return std::nullopt;
        return *it;
    }

    void MouvoirStock(int externe, int idProduit, int idProduitType, int avant, int apres,
                      const QString& libelle) override
    {
        const TCleProduit cle{externe, idProduit, idProduitType};
        m_produits[cle].stock = apres;
        m_modifies.insert(cle);
        m_mouvements.append({cle, avant, apres, libelle, DateHeureBase(QDateTime::currentDateTime())});
    }

    // Only this machine's: the temporary files of the others are on their disks.
    QList<TDemandeEnCours> EnCours() override
    {
        const TResultatPg r = m_c.Executer(
            "SELECT Id, Chemin, Temporaire, encode(Empreinte, 'hex') FROM ControleEnCours WHERE Poste = $1", {m_poste});
        QList<TDemandeEnCours> enCours;
        for (int l = 0; l < r.Lignes(); ++l)
            enCours.append(
                {r.Entier(l, 0), r.Texte(l, 1), r.Texte(l, 2), QByteArray::fromHex(r.Texte(l, 3).toLatin1())});
        return enCours;
    }

    void Oublier(qint64 id) override { m_c.Executer("DELETE FROM ControleEnCours WHERE Id = $1", {id}); }

    void Noter(const QString& chemin, const QString& temporaire, const QByteArray& empreinte) override
    {
        m_c.Executer(
            "INSERT INTO ControleEnCours (Poste, Chemin, Temporaire, Empreinte)"
            " VALUES ($1, $2, $3, decode($4, 'hex'))",
            {m_poste, chemin, temporaire, QString::fromLatin1(empreinte.toHex())});
    }

private:
    struct TMouvement {
        TCleProduit cle;
        int avant, apres;
        QString libelle, date;
    };

    // The new stocks, then the movements in the order of the lines.
    void Ecrire()
    {
        if (m_modifies.empty())
            return;
        const QList<TCleProduit> cles(m_modifies.cbegin(), m_modifies.cend());
        m_c.Executer(
            "UPDATE Produit p SET Stock = v.s FROM unnest($1::bigint[], $2::bigint[], $3::bigint[],"
            " $4::bigint[]) AS v(e, i, t, s) WHERE p.Externe = v.e AND p.IdProduit = v.i"
            " AND p.IdProduitType = v.t",
            {Tableau(cles, [](const TCleProduit& k) { return k.externe; }),
             Tableau(cles, [](const TCleProduit& k) { return k.idProduit; }),
             Tableau(cles, [](const TCleProduit& k) { return k.idProduitType; }),
             Tableau(cles, [this](const TCleProduit& k) { return m_produits.value(k).stock; })});
        m_c.Executer(
            "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew,"
            " Libelle, DateMaj) SELECT e, i, t, a, n, l, d FROM unnest($1::bigint[], $2::bigint[], $3::bigint[],"
            " $4::bigint[], $5::bigint[], $6::text[], $7::text[]) WITH ORDINALITY AS v(e, i, t, a, n, l, d, o)"
            " ORDER BY o",
            {Tableau(m_mouvements, [](const TMouvement& m) { return m.cle.externe; }),
             Tableau(m_mouvements, [](const TMouvement& m) { return m.cle.idProduit; }),
             Tableau(m_mouvements, [](const TMouvement& m) { return m.cle.idProduitType; }),
             Tableau(m_mouvements, [](const TMouvement& m) { return m.avant; }),
             Tableau(m_mouvements, [](const TMouvement& m) { return m.apres; }),
             Tableau(m_mouvements, [](const TMouvement& m) { return QVariant(m.libelle); }),
             Tableau(m_mouvements, [](const TMouvement& m) { return QVariant(m.date); })});
    }

    TConnexionPg& m_c;
    QString m_poste;
    bool m_ouverte = false;
    QMap<TCleProduit, TProduitStock> m_produits;  // the locked rows, as the lines leave them
    std::set<TCleProduit> m_modifies;
    QList<TMouvement> m_mouvements;
};
}  // namespace

void ControlerStockServeur(const QString& connexion, const QString& verrouDemandes, const QString& chemin)
{
    TConnexionPg c(connexion);
    TStockServeur stock(c);
    AppliquerDemande(stock, verrouDemandes, chemin);
}
