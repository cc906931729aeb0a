#pragma once
// The statement layer's second engine: one statement on a PostgreSQL
// server, seen through the same members as an SQLite statement (basesql.h).
// Internal to the store: callers use TInstructionSql.
//
// The module's SQL is written once for both engines; TraduireSqlPg
// (libpq.h) mends what the server reads differently.

#include "core/store/libpq.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <vector>

class TInstructionPg {
public:
    TInstructionPg(TConnexionPg& connexion, QByteArrayView sql, const QString& contexte);

    // Values travel as text; a null array is SQL null.
    void Lier(int position, QByteArray texte);
    void EffacerParametres();
    int Parametre(const QString& nom) const { return m_noms.value(nom.toUtf8(), 0); }

    bool Etape();
    void Rembobiner();

    int NombreColonnes() const { return m_colonnes; }
    bool EstNul(int colonne) const;
    qint64 Entier(int colonne) const;
    double Reel(int colonne) const;
    QByteArrayView Octets(int colonne) const;
    QVariant Valeur(int colonne) const;

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
