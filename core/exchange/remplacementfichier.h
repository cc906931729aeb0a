#pragma once
// Replacing a file so that a reader sees the old content or the new one,
// never a mix, and a failure says its cause in French.

#include <QByteArray>
#include <QString>

// The new content of a file, made durable beside it before it replaces it:
// the constructor writes it to a temporary file in the same folder (with the
// permissions of the file it will replace) and flushes it to disk; Publier()
// puts it in place with one rename. An existing file that this process may
// not write is refused rather than replaced behind its owner's back.
class TRemplacementFichier {
public:
    enum class Vidage {
        Immediat,  // flushed by the constructor
        // Flushed by Publier(): the constructor only proves that the content
        // fits and may be written, for a caller that keeps the content
        // elsewhere meanwhile and does not want to wait for the disk yet.
        AuRemplacement,
    };
    // Throws EKestravel (disk full, file not writable, folder missing…).
    TRemplacementFichier(const QString& chemin, const QByteArray& contenu, Vidage vidage = Vidage::Immediat);
    // Removes the temporary file, unless it was published.
    ~TRemplacementFichier();
    TRemplacementFichier(const TRemplacementFichier&) = delete;
    TRemplacementFichier& operator=(const TRemplacementFichier&) = delete;

    // Renames the temporary file over the file. Throws EKestravel.
    void Publier();

private:
    QString m_chemin, m_temporaire;
    Vidage m_vidage;
};

// Whether `temporaire` is a name TRemplacementFichier gives to the new
// content of `chemin` (".NAME.kestravel-XXXXXX" in the same folder).
bool TemporaireDe(const QString& chemin, const QString& temporaire);
// Removes the temporary files of `chemin` that a process ended before
// publishing them left behind, and nothing else. The caller makes sure no
// other process is writing one.
void SupprimerTemporairesDe(const QString& chemin);

// Renames `de` over `vers` and makes the rename durable. Throws EKestravel.
void Renommer(const QString& de, const QString& vers);

// The French message for a file that could not be written (errno value):
// disk full, read-only, not writable, folder missing…
QString MessageEcritureImpossible(const QString& chemin, int erreur);
