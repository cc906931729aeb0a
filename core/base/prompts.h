#pragma once
// Every message box, confirmation, input box, file or folder chooser and
// shell open goes through this seam, so the same code runs on a screen, with
// no screen (standard error, confirmations answer Cancel) and under tests
// (recorded messages, prepared answers).

#include "core/store/erreurs.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

class QWidget;

class IPrompts {
public:
    enum class Genre { Message, Information, Erreur, Confirmation, Saisie, Dossier, Fichier, Ouverture };
    virtual ~IPrompts() = default;
    // Plain message box.
    virtual void Message(const QString& texte) = 0;
    // Information box with an OK button.
    virtual void Information(const QString& texte) = 0;
    // The standard error box that shows an exception's message.
    virtual void Erreur(const QString& texte) = 0;
    // Confirmation box with OK and Cancel: true for OK.
    virtual bool Confirmer(const QString& texte) = 0;
    // Text input box: nothing when cancelled.
    virtual std::optional<QString> Saisir(const QString& titre, const QString& invite, const QString& defaut) = 0;
    // Folder chooser: empty when cancelled.
    virtual QString ChoisirDossier(const QString& titre, const QString& depart) = 0;
    // File-open dialog: empty when cancelled.
    virtual QString ChoisirFichier(const QString& titre, const QString& depart, const QString& filtre) = 0;
    // Opens a file with the desktop's default program.
    virtual bool OuvrirFichier(const QString& chemin) = 0;
    // File-save dialog (asks before replacing a file): empty when cancelled.
    // Without a screen there is nobody to ask: cancelled.
    virtual QString ChoisirFichierEnregistrement(const QString& /*titre*/, const QString& /*depart*/,
                                                 const QString& /*filtre*/)
    {
        return {};
    }
};

// The process-wide prompts: the default ones until SetPrompts changes them.
IPrompts& Prompts();
// Installs prompts (not owned); nullptr restores the default.
void SetPrompts(IPrompts* p);

// No screen: every text goes to standard error; questions get "Cancel".
class TPromptsSansEcran : public IPrompts {
public:
    void Message(const QString& texte) override;
    void Information(const QString& texte) override;
    void Erreur(const QString& texte) override;
    bool Confirmer(const QString& texte) override;
    std::optional<QString> Saisir(const QString& titre, const QString& invite, const QString& defaut) override;
    QString ChoisirDossier(const QString& titre, const QString& depart) override;
    QString ChoisirFichier(const QString& titre, const QString& depart, const QString& filtre) override;
    bool OuvrirFichier(const QString& chemin) override;
};

// For tests: records every prompt and plays back prepared answers in order.
// A question with no prepared answer is answered Cancel / cancelled.
class TPromptsScriptes : public IPrompts {
public:
    struct Trace {
        Genre genre;
        QString texte;
    };
    TPromptsScriptes();  // installs itself
    ~TPromptsScriptes() override;  // restores the default

    void RepondreConfirmation(bool ok) { m_confirmations << ok; }
    void RepondreSaisie(std::optional<QString> texte) { m_saisies << texte; }
    void RepondreDossier(const QString& chemin) { m_dossiers << chemin; }
    void RepondreFichier(const QString& chemin) { m_fichiers << chemin; }

    const QList<Trace>& Traces() const { return m_traces; }
    // Texts of the prompts of one kind, in order.
    QStringList Textes(Genre g) const;
    // Texts of every prompt that shows a message (plain, information, error).
    QStringList Messages() const;
    QString DernierMessage() const { return Messages().value(Messages().size() - 1); }
    QStringList FichiersOuverts() const { return Textes(Genre::Ouverture); }
    void Effacer() { m_traces.clear(); }

    void Message(const QString& texte) override;
    void Information(const QString& texte) override;
    void Erreur(const QString& texte) override;
    bool Confirmer(const QString& texte) override;
    std::optional<QString> Saisir(const QString& titre, const QString& invite, const QString& defaut) override;
    QString ChoisirDossier(const QString& titre, const QString& depart) override;
    QString ChoisirFichier(const QString& titre, const QString& depart, const QString& filtre) override;
    bool OuvrirFichier(const QString& chemin) override;
    // Answered from the same prepared file names as ChoisirFichier.
    QString ChoisirFichierEnregistrement(const QString& titre, const QString& depart, const QString& filtre) override;

private:
    QList<Trace> m_traces;
    QList<bool> m_confirmations;
    QList<std::optional<QString>> m_saisies;
    QStringList m_dossiers, m_fichiers;
};

// The prompts used when none are installed: those given here (the windowed
// modes give real dialogs once they know a person can see them), otherwise
// standard error.
void SetPromptsParDefaut(IPrompts* p);

// Shows the message of the exception in flight in the standard error box.
// Call from a catch block.
void AfficherExceptionCourante();

// Runs a catalogue operation; a refusal by the catalogue's rules (ERefus) is
// told in an information box. False when the operation was refused.
template <class Operation>
bool InformerSiRefus(Operation&& operation)
{
    try {
        std::forward<Operation>(operation)();
        return true;
    } catch (const ERefus& refus) {
        Prompts().Information(refus.Message());
        return false;
    }
}
