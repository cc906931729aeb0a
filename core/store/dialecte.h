#pragma once
// The SQL that differs from one database engine to another, named once.
// Everything else the module sends is plain SQL that both engines take (the
// file's SQLite, a server's PostgreSQL); the forms that differ are here.

#include "core/store/basesql.h"

#include <QString>
#include <vector>

namespace Dialecte {
// Starts a write transaction, taking the write lock at once so that two
// writers never both read and then both fail to write.
const char* DebutEcriture(const TBaseSql& base);
// Starts a read-only transaction that sees one moment of the catalogue for
// all its statements, whatever is committed meanwhile.
const char* DebutLecture(const TBaseSql& base);
// Inside a write transaction, keeps every other writer from allocating a
// number of `table` until it ends, so that the highest number read then is
// still the highest at the insert. A file's write transaction already holds
// the whole catalogue; a server's takes a lock of the module's own, which
// needs no right on the table and blocks no reader nor a till's sale.
void ReserverNumeros(const TBaseSql& base, const QString& table);
// Ends a SELECT of rows about to be written back in the same transaction:
// on a server they are locked against other writers until it ends (a
// file's write transaction holds the whole catalogue already).
const char* PourModifier(const TBaseSql& base);
// Ends a SELECT of a row that must stay (not deleted nor changed by
// another writer) until the transaction ends; readers still read it.
const char* PourPartager(const TBaseSql& base);
// The hidden identifier of every row: breaks ties between rows of equal
// key and designates one row of a table without a unique key. On a server
// it is a column of every table that the module's own columns never list.
inline const char* const IdLigne = "rowid";
// "INSERT OR REPLACE INTO table": an insert that replaces the row of the
// same primary key.
QString InsererOuRemplacer(const QString& table);

// Settings of a connection to the shared catalogue: several processes use
// the file at once (readers never wait for the writer), and no foreign key
// rule is applied (the host's tables have none).
inline const char* const JournalPartage = "PRAGMA journal_mode=WAL";
inline const char* const SansClesEtrangeres = "PRAGMA foreign_keys=OFF";
// For a catalogue being generated from nothing: no wait for the disk.
inline const char* const SansSynchronisation = "PRAGMA synchronous=OFF";
// The schema's version number, kept in the database itself.
QString LireVersion(const TBaseSql& base);
QString EcrireVersion(const TBaseSql& base, int version);
// A query whose columns 1 and 2 are the name and declared type of each
// column of `table`, in order (no row when there is no such table). A
// server's types read as the file's: INTEGER, REAL, TEXT.
QString ColonnesTable(const TBaseSql& base, const QString& table);
// Memory of the connection's page cache: the query reading it, and the
// statement setting it (negative: in KiB).
inline const char* const LireTailleCache = "PRAGMA cache_size";
QString TailleCache(qint64 taille);

// Online copy: replaces the whole content of `cible` with the source's in
// one write transaction of the engine (readers see the old catalogue or the
// new one). Throws with `contexte`; on failure `cible` is unchanged.
void CopierBase(const TBaseSql& source, const TBaseSql& cible, const QString& contexte);

// A function of the connection callable from SQL: `nom(a1, …, an)` with its
// arguments read as reals, its result a real.
using TFonctionReelle = double (*)(const double* arguments);
void DeclarerFonction(const TBaseSql& base, const char* nom, int nombreArguments, TFonctionReelle fonction);
// Its call in a statement: on a server, the catalogue's own function, named
// with its schema and its arguments' types, so that no function of the same
// name that a login could create elsewhere is called instead.
QString AppelFonction(const TBaseSql& base, const char* nom, const QStringList& arguments);

// The product search (recherche.h): a query of ColonnesLigneProduit whose
// parameters are, in order: on a file, the index's MATCH phrase when
// `parIndex`, then three LIKE patterns for each of the `mots` words; on a
// server, the words' patterns in one text separated by line feeds, then
// the categories' origins and numbers as two arrays when `categories`; on
// both, the origin when `externe`; on a server, the number of rows wanted.
struct TRequeteRecherche {
    bool parIndex = false;
    qsizetype mots = 0;
    bool externe = false;
    bool categories = false;
};
QString RequeteRecherche(const TBaseSql& base, const TRequeteRecherche& r);

// Stock movements loaded with their own numbers: the file's AUTOINCREMENT
// follows them by itself, a server's counter does not. The number for a new
// movement, never below `auMoins` (server only; in the file a null number
// gets it);
qint64 NumeroMouvement(const TBaseSql& base, qint64 auMoins);
// and, after the load, the counter brought past every movement of the table.
void AlignerNumerosMouvements(const TBaseSql& base);
}  // namespace Dialecte

// Bulk load of rows into one table, inside the caller's transaction: the
// fields of each row are bound on Ligne() (the `insertion` statement's
// parameters, "INSERT INTO t (a, b) VALUES (?, ?)"), then Ajouter() writes
// it; Terminer() must end the load. In the file a prepared INSERT per row
// is the fastest path; to a server the rows stream through its copy
// protocol, which the server checks as they come and reports on at the end.
class TChargementSql {
public:
    TChargementSql(const TBaseSql& base, const QString& insertion, const QString& contexte = {});
    TInstructionSql& Ligne() { return m_insertion; }
    // Writes the row bound and clears the fields for the next one.
    void Ajouter();
    // Ends the load: sends what is held back, and the server checks it all.
    // On a server the load stays open between rows, and any other statement
    // on the connection ends it first.
    void Terminer();
    ~TChargementSql();
    TChargementSql(const TChargementSql&) = delete;
    TChargementSql& operator=(const TChargementSql&) = delete;
    // Rows added but not yet checked by the database: those a failure of
    // the next Ajouter() or of Terminer() is about (always 0 in the file).
    int LignesEnAttente() const { return m_enAttente; }

private:
    struct TValeurCopie {
        int parametre;  // its position, or 0 for a literal
        QByteArray litteral;  // null for SQL null
    };
    TBaseSql m_base;  // the caller's, borrowed
    TInstructionSql m_insertion;
    QString m_copie;  // "COPY t (a, b) FROM STDIN"
    std::vector<TValeurCopie> m_valeurs;  // each column's source
    void Envoyer();
    void Abandonner() noexcept;
    QByteArray m_tampon;  // rows not yet sent to the server
    bool m_ouverte = false;  // the server's copy is under way
    int m_enAttente = 0;  // rows in m_tampon
    QString m_contexte;
};
