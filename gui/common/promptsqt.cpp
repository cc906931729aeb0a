#include "gui/common/promptsqt.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace {
const QString Titre = QStringLiteral("Kestravel");

QWidget* Parent()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) ? QApplication::activeWindow() : nullptr;
}
}  // namespace

bool EcranDisponible()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    const QString plateforme = QGuiApplication::platformName();
    return plateforme != "offscreen" && plateforme != "minimal";
}

void TPromptsQt::Message(const QString& texte) { QMessageBox::information(Parent(), Titre, texte); }
void TPromptsQt::Information(const QString& texte)
{
    QMessageBox::information(Parent(), Titre, texte, QMessageBox::Ok);
}
void TPromptsQt::Erreur(const QString& texte) { QMessageBox::critical(Parent(), Titre, texte); }

bool TPromptsQt::Confirmer(const QString& texte)
{
    return QMessageBox::question(Parent(), Titre, texte, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
        == QMessageBox::Ok;
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

bool TPromptsQt::OuvrirFichier(const QString& chemin) { return QDesktopServices::openUrl(QUrl::fromLocalFile(chemin)); }
