#include "core/serveur/stockserveur.h"

#include "core/exchange/controlestock.h"
#include "core/store/dates.h"
#include "core/store/erreurs.h"
#include "core/store/libpq.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMap>
#include <QSysInfo>
#include <optional>
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
    TStockServeur(TConnexionPg& c, const QString& installation)
        : m_c(c), m_poste(QSysInfo::machineHostName()), m_installation(installation)
    {}

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
        if (m_note)
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

    // Only this installation's, of this login on this machine: the lock
    // that keeps requests one at a time is the installation's, and the files
    // named are on this machine's disk. Other logins' rows are not even
    // visible (row-level security).
    QList<TDemandeEnCours> EnCours() override
    {
        const TResultatPg r = m_c.Executer("SELECT Id, Chemin, encode(Empreinte, 'hex'), encode(EmpreinteResultat, 'hex'),"
                                           " Resultat IS NOT NULL FROM ControleEnCours WHERE "
                                               + Portee,
                                           {m_poste, m_installation});
        QList<TDemandeEnCours> enCours;
        for (int l = 0; l < r.Lignes(); ++l) {
            TDemandeEnCours d;
            d.id = r.Entier(l, 0);
            d.chemin = r.Texte(l, 1);
            d.empreinte = QByteArray::fromHex(r.Texte(l, 2).toLatin1());
            d.empreinteResultat = QByteArray::fromHex(r.Texte(l, 3).toLatin1());
            d.resultatGarde = r.Texte(l, 4) == "t";
            enCours.append(d);
        }
        return enCours;
    }

    QByteArray Resultat(qint64 id) override
    {
        const TResultatPg r =
            m_c.Executer("SELECT encode(Resultat, 'hex') FROM ControleEnCours WHERE Id = $3 AND " + Portee,
                         {m_poste, m_installation, id});
        return r.Lignes() == 1 ? QByteArray::fromHex(r.Texte(0, 0).toLatin1()) : QByteArray();
    }

    void Oublier(qint64 id) override { m_c.Executer("DELETE FROM ControleEnCours WHERE Id = $1", {id}); }

    void Clore(qint64 id) override
    {
        m_c.Executer("UPDATE ControleEnCours SET Resultat = NULL WHERE Id = $1", {id});
    }

    void Publiee(const QString& chemin) noexcept override
    {
        try {
            m_c.Executer("SET synchronous_commit TO off");
            m_c.Executer("UPDATE ControleEnCours SET Resultat = NULL WHERE Chemin = $3 AND " + Portee,
                         {m_poste, m_installation, chemin});
        } catch (const EDatabaseError&) {
            // Left open: closed by the next request.
        }
    }

    // Written with the stock at the commit (Ecrire).
    void Noter(const TDemandeEnCours& d, const QByteArray& resultat, const QString& date,
               const QString& perime) override
    {
        m_note = TNote{d, resultat, date, perime};
    }

private:
    struct TMouvement {
        TCleProduit cle;
        int avant, apres;
        QString libelle, date;
    };
    struct TNote {
        TDemandeEnCours demande;
        QByteArray resultat;
        QString date, perime;
    };

    // The new stocks, then the movements in the order of the lines.
    // At the commit, in one statement (one round trip while the products'
    // rows are locked): the request's row replacing the place's earlier one,
    // the new stocks, then the movements in the order of the lines.
    void Ecrire()
    {
        QString sql = "WITH oubli AS (DELETE FROM ControleEnCours WHERE " + Portee
            + " AND (Chemin = $3 OR (Resultat IS NULL AND DateMaj < $4))),"
              " note AS (INSERT INTO ControleEnCours (Poste, Installation, Chemin, Empreinte, EmpreinteResultat,"
              " Resultat, DateMaj) VALUES ($1, $2, $3, decode($5, 'hex'), decode($6, 'hex'), decode($7, 'hex'), $8))";
        const TNote& n = *m_note;
        QVariantList valeurs{m_poste,
                             m_installation,
                             n.demande.chemin,
                             n.perime,
                             QString::fromLatin1(n.demande.empreinte.toHex()),
                             QString::fromLatin1(n.demande.empreinteResultat.toHex()),
                             QString::fromLatin1(n.resultat.toHex()),
                             n.date};
        if (m_modifies.empty()) {
            m_c.Executer(sql + " SELECT 1", valeurs);
            return;
        }
        const QList<TCleProduit> cles(m_modifies.cbegin(), m_modifies.cend());
        sql += ", stock AS (UPDATE Produit p SET Stock = v.s FROM unnest($9::bigint[], $10::bigint[], $11::bigint[],"
               " $12::bigint[]) AS v(e, i, t, s) WHERE p.Externe = v.e AND p.IdProduit = v.i"
               " AND p.IdProduitType = v.t)"
               " INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew,"
               " Libelle, DateMaj) SELECT e, i, t, a, n, l, d FROM unnest($13::bigint[], $14::bigint[], $15::bigint[],"
               " $16::bigint[], $17::bigint[], $18::text[], $19::text[]) WITH ORDINALITY AS v(e, i, t, a, n, l, d, o)"
               " ORDER BY o";
        valeurs << Tableau(cles, [](const TCleProduit& k) { return k.externe; })
                << Tableau(cles, [](const TCleProduit& k) { return k.idProduit; })
                << Tableau(cles, [](const TCleProduit& k) { return k.idProduitType; })
                << Tableau(cles, [this](const TCleProduit& k) { return m_produits.value(k).stock; })
                << Tableau(m_mouvements, [](const TMouvement& m) { return m.cle.externe; })
                << Tableau(m_mouvements, [](const TMouvement& m) { return m.cle.idProduit; })
                << Tableau(m_mouvements, [](const TMouvement& m) { return m.cle.idProduitType; })
                << Tableau(m_mouvements, [](const TMouvement& m) { return m.avant; })
                << Tableau(m_mouvements, [](const TMouvement& m) { return m.apres; })
                << Tableau(m_mouvements, [](const TMouvement& m) { return QVariant(m.libelle); })
                << Tableau(m_mouvements, [](const TMouvement& m) { return QVariant(m.date); });
        m_c.Executer(sql, valeurs);
    }

    // The rows of this login, machine ($1) and installation ($2).
    inline static const QString Portee =
        QStringLiteral("Proprietaire = current_user AND Poste = $1 AND Installation = $2");

    TConnexionPg& m_c;
    QString m_poste, m_installation;
    bool m_ouverte = false;
    QMap<TCleProduit, TProduitStock> m_produits;  // the locked rows, as the lines leave them
    std::set<TCleProduit> m_modifies;
    QList<TMouvement> m_mouvements;
    std::optional<TNote> m_note;
};
}  // namespace

QStringList InstructionsDemandesEnCours()
{
    return {
        // The requests in flight of every till, each row readable and
        // writable by its own login only: a till cannot see, plant or
        // remove another's. Kept per installation and machine, as the lock
        // that keeps an installation's requests one at a time.
        "CREATE TABLE ControleEnCours (Id BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,"
        " Proprietaire NAME NOT NULL DEFAULT current_user, Poste TEXT NOT NULL, Installation TEXT NOT NULL,"
        " Chemin TEXT NOT NULL, Empreinte BYTEA NOT NULL, EmpreinteResultat BYTEA NOT NULL, Resultat BYTEA,"
        " DateMaj TEXT NOT NULL)",
        "CREATE INDEX ControleEnCoursPortee ON ControleEnCours (Proprietaire, Poste, Installation, Chemin)",
        "ALTER TABLE ControleEnCours ENABLE ROW LEVEL SECURITY",
        "ALTER TABLE ControleEnCours FORCE ROW LEVEL SECURITY",
        "CREATE POLICY ControleEnCoursDuPoste ON ControleEnCours USING (Proprietaire = current_user)"
        " WITH CHECK (Proprietaire = current_user)",
    };
}

void ControlerStockServeur(TConnexionPg& c, const QString& verrouDemandes, const QString& chemin)
{
    // The installation by its lock file, as the system resolves it.
    const QFileInfo verrou(verrouDemandes);
    const QString installation = QFileInfo(verrou.absolutePath()).canonicalFilePath() + '/' + verrou.fileName();
    TStockServeur stock(c, installation);
    AppliquerDemande(stock, verrouDemandes, chemin);
}
