#include "core/base/prompts.h"

#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <cstdio>
#include <new>

namespace {
IPrompts*& Installes()
{
    static IPrompts* p = nullptr;
    return p;
}

IPrompts*& ParDefaut()
{
    static IPrompts* p = nullptr;
    return p;
}

const QString ErreurInattendue = QStringLiteral(
    "Une erreur inattendue a interrompu l'opération ; les modifications déjà enregistrées sont "
    "conservées.");

void Ecrire(const QString& texte)
{
    std::fprintf(stderr, "%s\n", texte.toLocal8Bit().constData());
    std::fflush(stderr);
}
}  // namespace

IPrompts& Prompts()
{
    static TPromptsSansEcran sansEcran;
    if (Installes())
        return *Installes();
    return ParDefaut() ? *ParDefaut() : sansEcran;
}
void SetPrompts(IPrompts* p) { Installes() = p; }
void SetPromptsParDefaut(IPrompts* p) { ParDefaut() = p; }

void AfficherExceptionCourante()
{
    try {
        throw;
    } catch (const EKestravel& e) {
        Prompts().Erreur(e.Message());
    } catch (const std::bad_alloc&) {
        Prompts().Erreur(PhraseCatalogue(TCauseEchec::Memoire));
    } catch (const std::exception& e) {
        // Our own errors are French already; anything else is the library's
        // English, kept as the detail of a French sentence.
        Prompts().Erreur(ComposerMessage(QString(), ErreurInattendue, QString::fromLocal8Bit(e.what())));
    } catch (...) {
        Prompts().Erreur(ErreurInattendue);
    }
}

// ---- no screen ------------------------------------------------------------

void TPromptsSansEcran::Message(const QString& texte) { Ecrire(texte); }
void TPromptsSansEcran::Information(const QString& texte) { Ecrire(texte); }
void TPromptsSansEcran::Erreur(const QString& texte) { Ecrire(texte); }
bool TPromptsSansEcran::Confirmer(const QString& texte)
{
    Ecrire(texte + QStringLiteral(" [Annuler]"));
    return false;
}
std::optional<QString> TPromptsSansEcran::Saisir(const QString&, const QString& invite, const QString&)
{
    Ecrire(invite + QStringLiteral(" [Annuler]"));
    return std::nullopt;
}
QString TPromptsSansEcran::ChoisirDossier(const QString&, const QString&) { return {}; }
QString TPromptsSansEcran::ChoisirFichier(const QString&, const QString&, const QString&) { return {}; }
bool TPromptsSansEcran::OuvrirFichier(const QString&) { return false; }

// ---- scripted ---------------------------------------------------------------

TPromptsScriptes::TPromptsScriptes() { SetPrompts(this); }
TPromptsScriptes::~TPromptsScriptes() { SetPrompts(nullptr); }

QStringList TPromptsScriptes::Textes(Genre g) const
{
    QStringList r;
    for (const Trace& t : m_traces)
        if (t.genre == g)
            r << t.texte;
    return r;
}

QStringList TPromptsScriptes::Messages() const
{
    QStringList r;
    for (const Trace& t : m_traces)
        if (t.genre == Genre::Message || t.genre == Genre::Information || t.genre == Genre::Erreur)
            r << t.texte;
    return r;
}

void TPromptsScriptes::Message(const QString& texte) { m_traces << Trace{Genre::Message, texte}; }
void TPromptsScriptes::Information(const QString& texte) { m_traces << Trace{Genre::Information, texte}; }
void TPromptsScriptes::Erreur(const QString& texte) { m_traces << Trace{Genre::Erreur, texte}; }

bool TPromptsScriptes::Confirmer(const QString& texte)
{
    m_traces << Trace{Genre::Confirmation, texte};
    return m_confirmations.isEmpty() ? false : m_confirmations.takeFirst();
}

std::optional<QString> TPromptsScriptes::Saisir(const QString&, const QString& invite, const QString&)
{
    m_traces << Trace{Genre::Saisie, invite};
    return m_saisies.isEmpty() ? std::nullopt : m_saisies.takeFirst();
}

QString TPromptsScriptes::ChoisirDossier(const QString& titre, const QString&)
{
    m_traces << Trace{Genre::Dossier, titre};
    return m_dossiers.isEmpty() ? QString() : m_dossiers.takeFirst();
}

QString TPromptsScriptes::ChoisirFichier(const QString& titre, const QString&, const QString&)
{
    m_traces << Trace{Genre::Fichier, titre};
    return m_fichiers.isEmpty() ? QString() : m_fichiers.takeFirst();
}

bool TPromptsScriptes::OuvrirFichier(const QString& chemin)
{
    m_traces << Trace{Genre::Ouverture, chemin};
    return true;
}

QString TPromptsScriptes::ChoisirFichierEnregistrement(const QString& titre, const QString& depart,
                                                       const QString& filtre)
{
    return ChoisirFichier(titre, depart, filtre);
}
