#include "app/demarrage.h"

#include "core/base/chemins.h"
#include "core/base/emplacement.h"
#include "core/base/parametres.h"
#include "core/base/prompts.h"
#include "core/base/systeme.h"
#include "core/exchange/controlestock.h"
#include "core/exchange/synchronisation.h"
#include "core/serveur/catalogueserveur.h"
#include "core/serveur/stockserveur.h"
#include "core/store/dmkestravel.h"
#include "core/store/format.h"
#include "core/store/libpq.h"
#include "core/store/pglocal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <optional>

namespace {
const QString MessageParametres = QStringLiteral("Erreur : impossible d'éxécuter Kestravel.\nVérifier vos paramètres.");
const QString MessageVersion = QStringLiteral("Veuillez mettre à jour le module Kestravel.");

// Step 2: the catalogue is opened in every mode; a sale's request on a
// server opens its own connection, the one its row locks need, and one on a
// file needs no cursor: the connection alone (`base`).
void OuvrirPourLeMode(const TEmplacementCatalogue& catalogue, const QString& mode, std::optional<TdmKestravel>& dm,
                      TBaseSql& base)
{
    if (catalogue.SurServeur()) {
        if (mode != "CONTROLE")
            dm.emplace(catalogue.serveur, TdmKestravel::Serveur::Oui);
    } else if (mode == "CONTROLE") {
        base = OuvrirCatalogue(catalogue.fichier);
    } else {
        dm.emplace(catalogue.fichier);
    }
}

// The host's settings: false (told) when its version is not this module's.
bool LireParametresHote(const QString& fichier)
{
    const TParametres parametres(fichier);
    const QString version = parametres.Lire("General", "Version", "0");
    SetDossierAdministration(parametres.Lire("General", "Administration", QString()));
    VerifierDossiersImages();
    if (version != VersionModule) {
        Prompts().Message(MessageVersion);
        return false;
    }
    return true;
}

void Controler(const TEmplacementCatalogue& catalogue, const TBaseSql& base, const QString& dossier,
               const QString& demande)
{
    if (base.Ouverte()) {
        ControlerStock(base, catalogue.fichier, demande);
        return;
    }
    // The schema version is checked as in every mode, on the connection the
    // sale then uses; a connection that needs nothing but statements, which
    // may skip loading libpq.
    PermettreClientLocal();
    const TBaseSql serveur = OuvrirCatalogueServeur(catalogue.serveur);
    ControlerStockServeur(*serveur.Pg(), QDir(dossier).filePath("Kestravel.abs-controle"), demande);
}

// CONFIG or VOIR, once the login may do it and there is a screen.
int OuvrirFenetre(const QString& mode, TdmKestravel& dm, const QStringList& args, const TOuvertureFenetre& fenetre)
{
    if (mode == "CONFIG" && !PeutModifierCatalogue(dm.Connexion())) {
        Prompts().Erreur(
            QStringLiteral("Cet identifiant du serveur du catalogue ne peut que vendre : la configuration "
                           "du catalogue demande l'identifiant du bureau. Rien n'a été modifié."));
        return 1;
    }
    if (!fenetre) {
        Prompts().Erreur(QStringLiteral("Aucun écran n'est disponible pour afficher Kestravel."));
        return 1;
    }
    // Said on standard error when connecting; once more where it is seen.
    if (const QString avertissement = AvertissementConnexion(); !avertissement.isEmpty())
        Prompts().Information(avertissement);
    return fenetre(dm, args);
}

int ExecuterMode(const QStringList& args, const TOuvertureFenetre& fenetre)
{
    const QString dossier = DossierProgramme(args.value(0));
    const TEmplacementCatalogue catalogue = EmplacementCatalogue(dossier);
    const QString mode = args.value(1).toUpper();
    std::optional<TdmKestravel> dm;
    TBaseSql base;
    OuvrirPourLeMode(catalogue, mode, dm, base);
    if (mode == "SYNCHRO") {
        Synchroniser(*dm, args.value(2), args.value(3));
        return 0;
    }
    if (!LireParametresHote(args.value(2)))
        return 1;

    const int nbArguments = int(args.size()) - 1;
    if (mode == "CONTROLE" && nbArguments == 3) {
        Controler(catalogue, base, dossier, args.value(3));
        return 0;
    }
    if (mode != "CONFIG" && !(mode == "VOIR" && nbArguments == 3)) {
        Prompts().Message(MessageParametres);
        return 1;
    }
    return OuvrirFenetre(mode, *dm, args, fenetre);
}
}  // namespace

QString DossierProgramme(const QString& argument0)
{
    const QString programme = Systeme::CheminProgramme();
    return QFileInfo(programme.isEmpty() ? argument0 : programme).absolutePath();
}

// `CONTROLE` and `SYNCHRO` run in `kestravel`, without windows, in every
// environment: a display that does not answer must not stop a sale's
// request.
bool ModeSansFenetre(int argc, char* argv[])
{
    if (argc < 2)
        return false;
    // The mode words are plain ASCII: no locale is needed to compare them.
    const QByteArray mode = QByteArray(argv[1]).toUpper();
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

int Executer(const QStringList& args, const TOuvertureFenetre& fenetre)
{
    QCoreApplication::setApplicationName("Kestravel");
    // Step 1: nothing else is created when the mode word or its first
    // argument is missing.
    if (args.size() < 3) {
        Prompts().Message(MessageParametres);
        return 1;
    }
    try {
        return ExecuterMode(args, fenetre);
    } catch (...) {
        AfficherExceptionCourante();
        return 1;
    }
}
