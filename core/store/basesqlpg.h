#pragma once
// The statement layer's second engine: one statement on a PostgreSQL
// server, seen through the same members as an SQLite statement (basesql.h).
// Internal to the store: callers use TInstructionSql.
//
// The module's SQL is written once for both engines; TraduireSqlPg
// (libpq.h) mends what the server reads differently.

#include "core/store/libpq.h"
#include "core/store/moteursql.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <vector>

// The connection to the server, owned.
class TBaseSqlPg final : public TMoteurConnexion {
public:
    explicit TBaseSqlPg(const QString& connexion) : m_c(connexion) {}
    TConnexionPg& Connexion() { return m_c; }

    bool Serveur() const override { return true; }
    std::unique_ptr<TMoteurInstruction> Preparer(QByteArrayView sql, const QString& contexte) override;
    void Executer(const QString& sql, const QString& contexte) override;
    bool EnTransaction() const override;
    qint64 Modifications() const override { return m_c.modifications; }
    qint64 LignesModifiees() const override { return m_c.lignesModifiees; }
    void SetAttente(int millisecondes) override;
    void AnnulerTransaction() noexcept override;
    void Interrompre() override { m_c.Annuler(); }
    // A server runs its statements whole: there is no step to watch.
    void SetSurveillance(int, const std::function<bool()>*) override {}
    QString MessageEchec(const QString& contexte) const override;

private:
    TConnexionPg m_c;
};

class TInstructionPg final : public TMoteurInstruction {
public:
    TInstructionPg(TConnexionPg& connexion, QByteArrayView sql, const QString& contexte);

    // Values travel as text; a null array is SQL null.
    void Lier(int position, QByteArray texte);
    void LierNul(int position) override { Lier(position, QByteArray()); }
    void LierEntier(int position, qint64 valeur) override { Lier(position, QByteArray::number(valeur)); }
    void LierReel(int position, double valeur) override;
    void LierTexte(int position, QByteArrayView utf8) override;
    void EffacerParametres();
    int Parametre(const QString& nom) const override { return m_noms.value(nom.toUtf8(), 0); }

    bool Etape() override;
    void Reinitialiser() override;
    void Rembobiner() override;

    int NombreColonnes() const override { return m_colonnes; }
    bool EstNul(int colonne) const override;
    qint64 Entier(int colonne) const override;
    double Reel(int colonne) const override;
    QByteArrayView Octets(int colonne) const override;
    QVariant Valeur(int colonne) const override;
    void LireLigne(QVector<QVariant>& ligne) const override;

    // The statement's text as sent to the server, and its values bound.
    const QByteArray& Sql() const { return m_sql; }
    const std::vector<QByteArray>& Parametres() const { return m_parametres; }

private:
    [[noreturn]] void Echec(const char* raison) const;
    const char* Brut(int colonne) const;

    TConnexionPg& m_c;
    QByteArray m_sql;
    QHash<QByteArray, int> m_noms;  // ":Nom" → position
    std::vector<QByteArray> m_parametres;
    QString m_contexte;

    TResultatPg m_resultat;
    bool m_execute = false;
    int m_ligne = -1, m_lignes = 0, m_colonnes = 0;
    std::vector<unsigned> m_types;  // the server's type of each column
};
