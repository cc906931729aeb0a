#include "app/prompts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>
#include <cstdio>

namespace {
const QString Titre = QStringLiteral("Kestravel");

IPrompts*& Installes()
{
    static IPrompts* p = nullptr;
    return p;
}

IPrompts& ParDefaut()
{
    static TPromptsQt qt;
    static TPromptsSansEcran sansEcran;
    if (EcranDisponible())
        return qt;
    return sansEcran;
}

QWidget* Parent() { return qobject_cast<QApplication*>(QCoreApplication::instance()) ? QApplication::activeWindow() : nullptr; }

void Ecrire(const QString& texte)
{
    std::fprintf(stderr, "%s\n", texte.toLocal8Bit().constData());
    std::fflush(stderr);
}
}  // namespace

IPrompts& Prompts() { return Installes() ? *Installes() : ParDefaut(); }
void SetPrompts(IPrompts* p) { Installes() = p; }

bool EcranDisponible()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    const QString plateforme = QGuiApplication::platformName();
    return plateforme != "offscreen" && plateforme != "minimal";
}

// ---- Qt -------------------------------------------------------------------

void TPromptsQt::Message(const QString& texte) { QMessageBox::information(Parent(), Titre, texte); }
void TPromptsQt::Information(const QString& texte) { QMessageBox::information(Parent(), Titre, texte, QMessageBox::Ok); }
void TPromptsQt::Erreur(const QString& texte) { QMessageBox::critical(Parent(), Titre, texte); }

bool TPromptsQt::Confirmer(const QString& texte)
{
    return QMessageBox::question(Parent(), Titre, texte, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

std::optional<QString> TPromptsQt::Saisir(const QString& titre, const QString& invite, const QString& defaut)
{
    bool ok = false;
    const QString t = QInputDialog::getText(Parent(), titre, invite, QLineEdit::Normal, defaut, &ok);
    if (!ok)
        return std::nullopt;
    return t;
}

QString TPromptsQt::ChoisirDossier(const QString& titre, const QString& depart)
{
    return QFileDialog::getExistingDirectory(Parent(), titre, depart);
}

QString TPromptsQt::ChoisirFichier(const QString& titre, const QString& depart, const QString& filtre)
{
    return QFileDialog::getOpenFileName(Parent(), titre, depart, filtre);
}

QString TPromptsQt::ChoisirFichierEnregistrement(const QString& titre, const QString& depart, const QString& filtre)
{
    return QFileDialog::getSaveFileName(Parent(), titre, depart, filtre);
}

bool TPromptsQt::OuvrirFichier(const QString& chemin)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(chemin));
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
