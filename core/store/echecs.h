#pragma once
// Failures of the database engine and of the file system told in French:
// first what happened and what to do, then the technical detail as the
// system gave it. Every message about a failed catalogue or file operation
// is built here, so that no bare English system text reaches the user.

#include <QString>

class QFileDevice;
struct sqlite3;

enum class TCauseEchec {
    Occupe,  // locked by another process, after the busy timeout
    LectureSeule,  // read-only file, folder or disk
    DisquePlein,
    Corrompu,  // damaged file, or not a catalogue at all
    Introuvable,  // missing file or folder
    AccesRefuse,  // no permission
    Memoire,
    Doublon,  // key already present or other constraint
    Materiel,  // input/output error of the disk or network share
    Autre
};

// Cause of an SQLite result code (primary or extended); `errnoSysteme`
// (sqlite3_system_errno) refines open and input/output failures.
TCauseEchec CauseSqlite(int code, int errnoSysteme = 0);
// Cause of an operating-system error number (errno); Autre when unknown.
TCauseEchec CauseSysteme(int errnum);

// The French sentence for a cause, about the catalogue or about a file.
QString PhraseCatalogue(TCauseEchec cause);
QString PhraseFichier(TCauseEchec cause);

// "contexte" then "phrase" on the next line, then "Détail technique : …".
// An empty context is left out, and so is a detail that says nothing
// ("Unknown error", "Success", empty).
QString ComposerMessage(const QString& contexte, const QString& phrase, const QString& detail);

// The message for the last failure of an SQLite connection.
QString MessageSqlite(sqlite3* base, const QString& contexte = {});
// The message for an SQLite result code with the engine's own text.
QString MessageSqlite(int code, const QString& detail, const QString& contexte = {});

// Cause of a failed read or write at `chemin`: `errnum` (errno right after
// the failure, 0 when not known) when it tells one; otherwise the place is
// examined: missing folder or file, no right to write, read-only or full disk
// (less than `taille` bytes free).
TCauseEchec CauseFichier(const QString& chemin, bool ecriture, int errnum = 0, qint64 taille = 0);
// The message for a failed open, write or commit of `fichier` at `chemin`.
QString MessageFichier(const QFileDevice& fichier, const QString& chemin, bool ecriture, const QString& contexte,
                       int errnum = 0, qint64 taille = 0);
