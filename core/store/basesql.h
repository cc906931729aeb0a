#pragma once
// The one way into the catalogue's database engine: a connection (owned,
// or borrowed from its owner), statements that finalize themselves, and a write-transaction guard. Every prepare, bind
// and step is checked and a failure throws EDatabaseError with the engine's
// own message, told in French (echecs.h).
//
// Callers see values (integers, reals, UTF-8 texts, nulls) and positions,
// never the engine's handles. Two engines sit behind these members, each in
// its own unit: SQLite for the catalogue file (basesqlite.*), PostgreSQL for
// a catalogue on a server (basesqlpg.*, over libpq.*, or for a sale on a
// local socket over the module's own client, pglocal.*). The statements whose
// text differs from one engine to the other are named in dialecte.*; the
// search index's own objects are in recherche.*, and the server's
// administration (roles, tables, functions) in core/serveur/. No other unit
// knows which engine it talks to.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>

class TConnexionPg;
class TMoteurConnexion;
class TMoteurInstruction;
struct sqlite3;

class TBaseSql {
public:
    enum class Acces { Lecture, Ecriture, Creation };

    TBaseSql() = default;
    // Opens the database at `chemin` (a path, or ":memory:") on a connection
    // of its own, closed with this object; throws with `contexte`.
    TBaseSql(const QString& chemin, Acces acces, const QString& contexte);
    // Connects to the PostgreSQL server named by `connexion` (a libpq
    // string or URI), on a connection of its own; throws naming the server.
    static TBaseSql Serveur(const QString& connexion);
    ~TBaseSql();
    TBaseSql(TBaseSql&& autre) noexcept;
    TBaseSql& operator=(TBaseSql&& autre) noexcept;
    TBaseSql(const TBaseSql&) = delete;
    TBaseSql& operator=(const TBaseSql&) = delete;

    bool Ouverte() const { return m_moteur != nullptr; }
    // Whether the catalogue is on a server rather than in a file.
    bool SurServeur() const;
    // Another handle on the same connection, which leaves it open.
    TBaseSql Emprunt() const;

    // Runs one or more statements that return no rows.
    void Executer(const QString& sql, const QString& contexte = {}) const;
    // The first column of the first row of a one-value query (null when none).
    QVariant Valeur(const QString& sql, const QString& contexte = {}) const;
    // Columns of a table in their order, empty when it does not exist.
    struct TColonne {
        QString nom, type;  // type as declared, upper-cased
    };
    QVector<TColonne> Colonnes(const QString& table) const;

    // Whether a transaction is open on this connection.
    bool EnTransaction() const;
    // Rows written on this connection since it opened (any statement): a
    // change tells a reader that what it fetched may be stale.
    qint64 Modifications() const;
    // Rows written by the last INSERT, UPDATE or DELETE.
    qint64 LignesModifiees() const;
    // Milliseconds a statement waits for another process's lock.
    void SetAttente(int millisecondes) const;
    // Rolls the open transaction back, never throwing (for unwinding).
    void AnnulerTransaction() const noexcept;
    // Stops the statement running on this connection (from any thread).
    void Interrompre() const;
    // Calls `*rappel` every `pas` steps of the engine's program during long
    // statements; a `false` answer interrupts the statement (which then
    // fails). A null pointer stops the calls. The function must outlive them.
    // A server runs its statements whole: there the calls never come.
    void SetSurveillance(int pas, const std::function<bool()>* rappel) const;

    // Throws EDatabaseError for the connection's last failure.
    [[noreturn]] void Echec(const QString& contexte = {}) const;

    // The file engine's handle, for engine-specific code (dialecte.cpp,
    // the search index, tests); null on a server.
    sqlite3* Handle() const;
    // The server connection, when on a server (null otherwise).
    TConnexionPg* Pg() const;

private:
    friend class TInstructionSql;  // prepares on the connection's engine
    TMoteurConnexion* m_moteur = nullptr;
    bool m_proprietaire = false;
};

// One prepared statement; finalized when it goes out of scope. Parameters
// are numbered from 1, result columns from 0.
class TInstructionSql {
public:
    TInstructionSql();
    TInstructionSql(const TBaseSql& base, QByteArrayView sql, const QString& contexte = {});
    TInstructionSql(const TBaseSql& base, const QString& sql, const QString& contexte = {});
    ~TInstructionSql();
    TInstructionSql(TInstructionSql&& autre) noexcept;
    TInstructionSql& operator=(TInstructionSql&& autre) noexcept;
    TInstructionSql(const TInstructionSql&) = delete;
    TInstructionSql& operator=(const TInstructionSql&) = delete;

    bool Preparee() const { return m_moteur != nullptr; }

    void LierNul(int position);
    void LierEntier(int position, qint64 valeur);
    void LierReel(int position, double valeur);
    // The bytes are copied: the caller's buffer may go at once. A null view
    // (or null QString) binds null; an empty one, an empty text.
    void LierTexte(int position, QByteArrayView utf8);
    void LierTexte(int position, const QString& texte);
    // Integers, reals and texts by their type; a null or invalid QVariant
    // binds null.
    void Lier(int position, const QVariant& valeur);
    // Binds the values from position 1 on.
    void Lier(const QVariantList& valeurs);
    // Position of the named parameter (":Nom"), 0 when the statement has none.
    int Parametre(const QString& nom) const;

    // Steps once: true on a row, false when the statement is done. On a
    // failure the statement is reset (so it holds no lock) and
    // EDatabaseError is thrown with the engine's message.
    bool Etape();
    // Runs a statement that returns no row to its end.
    void Executer();
    // Ready to run again, parameters cleared.
    void Reinitialiser();
    // Ready to run again, parameters kept; frees what the last run holds.
    void Rembobiner();

    int NombreColonnes() const;
    bool EstNul(int colonne) const;
    qint64 Entier(int colonne) const;
    double Reel(int colonne) const;
    // UTF-8 bytes of a text column, valid until the next step.
    QByteArrayView Octets(int colonne) const;
    QString Texte(int colonne) const;
    // The value with the engine's type: qint64, double, QString or null.
    QVariant Valeur(int colonne) const;
    // All the columns of the current row, as Valeur gives them.
    void LireLigne(QVector<QVariant>& ligne) const;

private:
    friend class TChargementSql;  // reads a server statement's bound values
    std::unique_ptr<TMoteurInstruction> m_moteur;
};

// One write transaction: begun by the constructor, committed by Commit(),
// rolled back when it goes out of scope without it. Inside a transaction
// already open on the connection it joins that one and leaves commit or
// rollback to its owner.
class TTransactionSql {
public:
    explicit TTransactionSql(const TBaseSql& base);
    ~TTransactionSql();
    TTransactionSql(const TTransactionSql&) = delete;
    TTransactionSql& operator=(const TTransactionSql&) = delete;
    void Commit();

private:
    TBaseSql m_base;  // the caller's connection, borrowed
    bool m_proprietaire = false;
    bool m_fini = false;
};

// Reads spread over several statements (an export of several tables, a
// catalogue copied) that must add up: they all see the catalogue as it was
// when the guard was made, whatever other processes commit meanwhile. Inside
// a caller's transaction, that transaction is the moment.
class TLectureSql {
public:
    explicit TLectureSql(const TBaseSql& base);
    ~TLectureSql();
    TLectureSql(const TLectureSql&) = delete;
    TLectureSql& operator=(const TLectureSql&) = delete;

private:
    TBaseSql m_base;  // the caller's connection, borrowed
    bool m_proprietaire = false;
};
