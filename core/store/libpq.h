#pragma once
// The PostgreSQL client library, loaded the first time a catalogue on a
// server is used: an installation whose catalogue is a file never loads it,
// nor the TLS and Kerberos libraries behind it, so a sale there starts as
// fast as before. Connections and results are owned by small handles that
// free themselves; every failure throws EDatabaseError in French, naming the
// server (never its password) and giving the server's own reason.

#include <libpq-fe.h>
#include <QHash>
#include <QString>
#include <QVariantList>
#include <functional>
#include <utility>

// The functions of libpq the module uses.
struct TLibpq {
    decltype(&PQconnectdb) connectdb;
    decltype(&PQconnectdbParams) connectdbParams;
    decltype(&PQstatus) status;
    decltype(&PQerrorMessage) errorMessage;
    decltype(&PQfinish) finish;
    decltype(&PQexecParams) execParams;
    decltype(&PQresultStatus) resultStatus;
    decltype(&PQresultErrorMessage) resultErrorMessage;
    decltype(&PQresultErrorField) resultErrorField;
    decltype(&PQclear) clear;
    decltype(&PQntuples) ntuples;
    decltype(&PQnfields) nfields;
    decltype(&PQgetvalue) getvalue;
    decltype(&PQgetisnull) getisnull;
    decltype(&PQgetlength) getlength;
    decltype(&PQcmdTuples) cmdTuples;
    decltype(&PQputCopyData) putCopyData;
    decltype(&PQputCopyEnd) putCopyEnd;
    decltype(&PQgetCopyData) getCopyData;
    decltype(&PQgetResult) getResult;
    decltype(&PQfreemem) freemem;
    decltype(&PQconninfoParse) conninfoParse;
    decltype(&PQconninfoFree) conninfoFree;
    decltype(&PQbackendPID) backendPID;
    decltype(&PQsetNoticeProcessor) setNoticeProcessor;
    decltype(&PQexec) exec;
    decltype(&PQtransactionStatus) transactionStatus;
    decltype(&PQftype) ftype;
    decltype(&PQgetCancel) getCancel;
    decltype(&PQcancel) cancel;
    decltype(&PQfreeCancel) freeCancel;
    // Notifications (LISTEN) read from the connection's socket.
    decltype(&PQsocket) socket;
    decltype(&PQconsumeInput) consumeInput;
    decltype(&PQnotifies) notifies;
};

// Loads libpq once; throws EDatabaseError when it is not installed.
const TLibpq& Libpq();

// "serveur-boutique:5432, base kestravel": how messages name a server, from
// its connection string (host or socket folder, port when given, database).
// Never the string itself, which may hold a password.
QString NomServeur(const QString& connexion);
// The same from its parts (a part not given is empty).
QString NomServeur(QString hote, const QString& port, const QString& base);
// The database a connection string names (or libpq's default from the
// environment); empty when the string cannot be read or names none.
QString BaseServeur(const QString& connexion);
// The warning given (on standard error, once per process) when a server is
// reached over the network without checking its certificate, so that
// another machine could pose as it and read the logins; empty when none was
// given. The windows show it once too.
QString AvertissementConnexion();
// libpq's text of a failure (its own words, the C library's and the
// server's, in English or French) after a French sentence for the cases a
// shop meets: a server stopped or misnamed, a login refused, a connection cut.
QString RaisonServeur(const char* texte);

// The module's SQL as the server reads it: written once for both engines,
// it may name `?` or `:Nom` parameters (here `$n`; `noms` receives the
// named ones' positions, the result's second member is the number of
// parameters), and quoted names are lower-cased, since the file's names
// ignore case and the server's were created in lower case. Literals,
// comments and `$$` bodies are copied as they stand. Throws EDatabaseError
// on what it cannot read for sure (`?1`, a name with a non-ASCII letter,
// both kinds of parameters, an unclosed literal or comment); SQL written
// for the server alone does not come here (TConnexionPg::Executer).
std::pair<QByteArray, int> TraduireSqlPg(QByteArrayView sql, QHash<QByteArray, int>* noms = nullptr);

// Appends one value in the copy protocol's text format (a null array is SQL
// null).
void AjouterChampCopie(QByteArray& tampon, QByteArrayView texte);

// A result, freed by the client that made it (libpq or the module's own,
// core/store/pglocal.h).
class TResultatPg {
public:
    TResultatPg() = default;
    TResultatPg(const TLibpq& pq, PGresult* r) : m_pq(&pq), m_r(r) {}
    ~TResultatPg();
    TResultatPg(TResultatPg&& autre) noexcept : m_pq(autre.m_pq), m_r(autre.m_r) { autre.m_r = nullptr; }
    TResultatPg& operator=(TResultatPg&& autre) noexcept;
    TResultatPg(const TResultatPg&) = delete;
    TResultatPg& operator=(const TResultatPg&) = delete;

    int Lignes() const;
    int Colonnes() const;
    bool Nul(int ligne, int colonne) const;
    QString Texte(int ligne, int colonne) const;
    qint64 Entier(int ligne, int colonne) const { return Texte(ligne, colonne).toLongLong(); }
    // Rows an INSERT, UPDATE or DELETE touched.
    qint64 LignesTouchees() const;
    PGresult* Handle() const { return m_r; }

private:
    const TLibpq* m_pq = nullptr;
    PGresult* m_r = nullptr;
};

class TConnexionPg {
public:
    // Connects; a server that cannot be reached or refuses the login throws
    // "Connexion impossible au serveur du catalogue « … » : reason". The
    // connection waits 10 s at most for the server, and then sets the
    // session the module's SQL relies on, whatever the environment, the
    // connection string or the login's defaults say (UTF-8, standard
    // strings, the `public` schema, a lock waited for 10 s at most…).
    explicit TConnexionPg(const QString& connexion);
    ~TConnexionPg();
    TConnexionPg(const TConnexionPg&) = delete;
    TConnexionPg& operator=(const TConnexionPg&) = delete;

    // Runs one statement with `$1`… parameters sent apart from the text
    // (never spliced into it); throws with the server's message. The text
    // goes through TraduireSqlPg (quoted names lower-cased, as the module's
    // shared SQL writes them).
    TResultatPg Executer(const QString& sql, const QVariantList& valeurs = {});
    // The same for a statement written for the server alone, sent as it
    // stands: its `$$` bodies, casts and operators are the server's.
    TResultatPg ExecuterTelQuel(const QString& sql, const QVariantList& valeurs = {});
    // Bulk load: `COPY … FROM STDIN` begun, rows sent in COPY's text format
    // in as many pieces as wanted, then the end, where the server checks
    // them all (throws with its reason).
    void CommencerCopie(const QString& sql) { Executer(sql); }
    void EnvoyerCopie(const QByteArray& lignes);
    void TerminerCopie();
    PGconn* Handle() const { return m_c; }
    // The client the connection goes through: libpq, or for a sale on a
    // local socket the module's own (core/store/pglocal.h).
    const TLibpq& Pq() const { return *m_pq; }
    const QString& Nom() const { return m_nom; }
    // Asks the server to stop the statement running (from any thread).
    void Annuler() const;
    // The server's message for the last failure, in a French sentence.
    [[noreturn]] void Echec(const QString& quoi, const char* raison = nullptr) const;
    QString Message(const QString& quoi, const char* raison = nullptr) const;

    // Kept for the statement layer (basesql.h), which sees the connection
    // through several borrowed handles: rows written since it opened, and
    // by the last statement.
    qint64 modifications = 0;
    qint64 lignesModifiees = 0;
    // Counts the rows an INSERT, UPDATE or DELETE says it wrote.
    void CompterModifications(PGresult* resultat);
    // A bulk load left open (TChargementSql streams its rows as it builds
    // them), ended before any other statement on the connection.
    std::function<void()> finCopie;
    void AvantInstruction()
    {
        if (finCopie)
            std::exchange(finCopie, nullptr)();
    }

private:
    TResultatPg Envoyer(const QByteArray& sql, const QVariantList& valeurs);
    void ConnecterLibpq(const QString& connexion);
    const TLibpq* m_pq = nullptr;
    PGconn* m_c = nullptr;
    PGcancel* m_annulation = nullptr;
    QString m_nom;
};
