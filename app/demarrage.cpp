#include "app/demarrage.h"

#include "admin/ficheparametreproduit.h"
#include "app/application.h"
#include "app/chemins.h"
#include "app/parametres.h"
#include "app/prompts.h"
#include "app/traductions.h"
#include "exchange/controlestock.h"
#include "exchange/synchronisation.h"
#include "store/dmkestravel.h"
#include "store/format.h"
#include "viewer/ficheproduitliste.h"

#include <QCoreApplication>
#include <QLocale>
#include <cstdio>
#include <memory>

namespace {
const QString MessageParametres =
    QStringLiteral("Erreur : impossible d'éxécuter Kestravel.\nVérifier vos paramètres.");
const QString MessageVersion = QStringLiteral("Veuillez mettre à jour le module Kestravel.");

// A screen is there when a display is named or a Qt platform is forced.
bool EcranPossible()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// `CONTROLE` and `SYNCHRO` run on a core application in every environment:
// a display that does not answer must not stop a sale's request.
bool ModeSansFenetre(int argc, char* argv[])
{
    if (argc < 2)
        return false;
    const QString mode = Majuscules(QString::fromLocal8Bit(argv[1]));
    return mode == "CONTROLE" || mode == "SYNCHRO";
}

// A process without regional settings (the C/POSIX locale of servers and
// services) would write "8 Dec 2026" and "18.00" for the host: it gets the
// French forms, dd/MM/yyyy and a decimal comma. Real settings are followed.
void ChoisirFormatsRegionaux()
{
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
}

int Executer(const QStringList& args, TApplication* app)
{
    // Step 2: the catalogue is opened in every mode.
    TdmKestravel dm(TdmKestravel::CheminBaseProgramme());

    const QString mode = Majuscules(args.value(1));
    if (mode == "SYNCHRO") {
        Synchroniser(dm, args.value(2), args.value(3));
        return 0;
    }

    const TParametres parametres(args.value(2));
    const QString version = parametres.Lire("General", "Version", "0");
    SetDossierAdministration(parametres.Lire("General", "Administration", QString()));
    VerifierDossiersImages();
    if (version != VersionModule) {
        Prompts().Message(MessageVersion);
        return 1;
    }

    const int nbArguments = int(args.size()) - 1;
    if (mode == "CONTROLE" && nbArguments == 3) {
        ControlerStock(dm, args.value(3));
        return 0;
    }
    const bool fenetre = mode == "CONFIG" || (mode == "VOIR" && nbArguments == 3);
    if (!fenetre) {
        Prompts().Message(MessageParametres);
        return 1;
    }
    if (!app) {
        Prompts().Erreur(QStringLiteral("Aucun écran n'est disponible pour afficher Kestravel."));
        return 1;
    }
    std::unique_ptr<QWidget> principale;
    if (mode == "CONFIG") {
        principale = std::make_unique<TFicheParametreProduit>(dm);
    } else {
        auto liste = std::make_unique<TFicheProduitListe>(dm);
        liste->SetFichierExport(args.value(3));
        principale = std::move(liste);
    }
    principale->show();
    // The new window takes the keyboard, also where no window manager gives it.
    principale->activateWindow();
    const int code = app->exec();
    return (code != 0 || app->ErreurSurvenue()) ? 1 : 0;
}
}  // namespace

int Demarrer(int argc, char* argv[])
{
    ChoisirFormatsRegionaux();
    // The mode is decided before the application object exists.
    std::unique_ptr<QCoreApplication> noyau;
    TApplication* app = nullptr;
    if (!ModeSansFenetre(argc, argv) && EcranPossible()) {
        app = new TApplication(argc, argv);
        noyau.reset(app);
        const QString avertissement = ChargerTraductionsQt();
        if (!avertissement.isEmpty())
            std::fprintf(stderr, "%s\n", avertissement.toLocal8Bit().constData());
    } else {
        noyau = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName("Kestravel");
    const QStringList args = QCoreApplication::arguments();

    // Step 1: nothing else is created when the mode word or its first
    // argument is missing.
    if (args.size() < 3) {
        Prompts().Message(MessageParametres);
        return 1;
    }
    try {
        return Executer(args, app);
    } catch (...) {
        AfficherExceptionCourante();
        return 1;
    }
}
