#pragma once
// The operating system's services that Qt does not give, in one place: the
// running program's path, handing the process to another program, durable
// file writes and renames, and an exclusive lock on a file. This is the
// POSIX implementation (Linux); a port to another system fills this unit
// and nothing else. Failures come back as the system's error number (errno
// values), which echecs.h turns into French sentences.

#include <QByteArray>
#include <QString>

namespace Systeme {

// Absolute path of the running program's file; empty when unknown.
QString CheminProgramme();

// Replaces the running process by the program at `chemin`, same process,
// same arguments (`argv`, null-terminated). Returns only on failure, with
// the error number.
int Remplacer(const QString& chemin, char* argv[]);

// Flushes the entries of the folder holding `chemin` to disk, so that a
// file created or renamed there survives a power cut.
void SynchroniserDossier(const QString& chemin);

// Whether a write or a rename waits for the disk before returning.
enum class Vidage {
    Immediat,  // flushed to disk, its folder's entry too
    Differe,  // left to the system; the caller flushes later or never needs to
};

// Writes `contenu` to a new hidden file beside `cible` (flushed to disk with
// Vidage::Immediat); the file gets the permissions of `cible` when it
// exists, the default ones otherwise. Returns 0 and the file's path in
// `temporaire`, or the error number (no file is left then). An existing
// `cible` this process may not write is refused (EACCES and the like).
int EcrireTemporaire(const QString& cible, const QByteArray& contenu, QString& temporaire,
                     Vidage vidage = Vidage::Immediat);

// Flushes a file written earlier to disk. 0 or the error number.
int Vider(const QString& chemin);

// Renames `de` over `vers`, replacing a file of that name, and with
// Vidage::Immediat flushes the folder. 0 or the error number.
int Renommer(const QString& de, const QString& vers, Vidage vidage = Vidage::Immediat);

// Removes a file, ignoring a failure.
void Supprimer(const QString& chemin);

// An exclusive lock on a file (created when missing), held until this
// object goes; the system frees it when its holder ends, even killed.
class TVerrouExclusif {
public:
    TVerrouExclusif() = default;
    ~TVerrouExclusif();
    TVerrouExclusif(const TVerrouExclusif&) = delete;
    TVerrouExclusif& operator=(const TVerrouExclusif&) = delete;
    // Waits for the lock on `chemin`. 0, or the error number (not held).
    int Prendre(const QString& chemin);

private:
    int m_fd = -1;
};

}  // namespace Systeme
