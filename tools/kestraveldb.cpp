// kestravel-db: makes catalogues for installations, demos and benchmarks.

#include "core/base/emplacement.h"
#include "core/interchange/apercu.h"
#include "core/interchange/interchange.h"
#include "core/serveur/catalogueserveur.h"
#include "core/store/basesql.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/schema.h"
#include "tools/demo.h"
#include "tools/generation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <optional>

namespace {
const char* const TexteUsage =
    "Usage :\n"
    "  kestravel-db create CHEMIN              catalogue vide\n"
    "  kestravel-db create --server URI        catalogue vide sur un serveur PostgreSQL\n"
    "  kestravel-db create --server URI --roles-script FICHIER   script SQL des rôles, pour\n"
    "                                          l'administrateur du serveur (- : sortie standard)\n"
    "  kestravel-db grant --server URI         redonne aux rôles leurs droits sur le catalogue\n"
    "  kestravel-db migrate CHEMIN URI         copie un catalogue fichier vers un serveur vide\n"
    "  kestravel-db demo DOSSIER [--bin KESTRAVEL] [--server URI]  installation de démonstration\n"
    "  kestravel-db generate CHEMIN --products N --categories M [--big-category K]\n"
    "  kestravel-db export BASE DOSSIER [TABLE...]   fichiers CSV horodatés\n"
    "  kestravel-db import BASE DOSSIER [TABLE...]   depuis import_*.csv\n"
    "  kestravel-db import --dry-run BASE DOSSIER [TABLE...]   différences, sans rien modifier\n"
    "  kestravel-db --help                     cette aide\n"
    "  (generate, export, import : --server URI à la place de CHEMIN ou BASE)\n"
    "  (tables : Produit ProduitCarac ProduitType ProduitTypeCarac Transaction ; toutes par défaut)\n";

// A command line not understood: the usage on standard error, status 2.
int Usage()
{
    std::fputs(TexteUsage, stderr);
    return 2;
}

// An option "--nom VALEUR" anywhere after the command (a switch "--nom"
// alone: a.contains("--nom")).
QString Option(const QStringList& a, const QString& nom, const QString& defaut)
{
    const int i = int(a.indexOf(nom));
    return (i >= 0 && i + 1 < a.size()) ? a[i + 1] : defaut;
}

void Afficher(const QString& texte) { std::fprintf(stderr, "%s\n", texte.toLocal8Bit().constData()); }

// The roles' script for the server's administrator, written whole or not
// at all ("-": standard output); nothing is created on the server.
void EcrireScriptRoles(const QString& connexion, const QString& chemin)
{
    if (chemin.isEmpty())
        throw EKestravel(QStringLiteral("--roles-script demande un fichier (ou - pour la sortie standard)."));
    const QByteArray script = ScriptRoles(connexion).toUtf8();
    if (chemin == "-") {
        std::fwrite(script.constData(), 1, size_t(script.size()), stdout);
        return;
    }
    QSaveFile f(chemin);
    if (!f.open(QIODevice::WriteOnly) || f.write(script) != script.size() || !f.commit())
        throw EKestravel(QStringLiteral("Impossible d'écrire « %1 ».").arg(chemin));
    Afficher(QStringLiteral("Script des rôles écrit dans « %1 » : à faire lancer par l'administrateur du serveur.")
                 .arg(chemin));
}

// The catalogue a command names: "--server URI" or a file path, then the
// arguments after it.
struct TCatalogueNomme {
    QString serveur, chemin;
    QStringList suite;
};
TCatalogueNomme CatalogueNomme(const QStringList& a)
{
    if (a[2] == "--server")
        return {a.value(3), {}, a.mid(4)};
    return {{}, a[2], a.mid(3)};
}

// What an import would change, on standard output: the summary, then the
// first differences.
void AfficherApercu(const TApercuImport& apercu)
{
    std::printf("%s\n", ResumeApercu(apercu).toLocal8Bit().constData());
    for (const TDifferenceImport& d : apercu.differences)
        std::printf("  %s\n", TexteDifference(d).toLocal8Bit().constData());
    if (apercu.differences.size() == DifferencesApercu)
        std::printf("  (les %d premières différences)\n", DifferencesApercu);
}

// export/import [--dry-run] BASE DOSSIER [TABLE...]: the windows' runs, for
// scripts. Stops at the first table that fails.
int Interchange(QStringList a, bool exporter)
{
    const bool apercu = a.removeAll(QStringLiteral("--dry-run")) > 0;
    if (a.size() < 3 || (apercu && exporter))
        return Usage();
    const TCatalogueNomme c = CatalogueNomme(a);
    if ((c.serveur.isEmpty() && c.chemin.isEmpty()) || c.suite.isEmpty())
        return Usage();
    const QString dossier = c.suite.first();
    QList<TTableCsv> tables;
    for (const QString& nom : c.suite.mid(1)) {
        const std::optional<TTableCsv> t = TableCsvParNom(nom);
        if (!t) {
            Afficher(QStringLiteral("Table inconnue : ") + nom);
            return 2;
        }
        tables << *t;
    }
    if (tables.isEmpty())
        tables = TablesCsv();
    const std::unique_ptr<TdmKestravel> base = c.serveur.isEmpty()
        ? std::make_unique<TdmKestravel>(c.chemin)
        : std::make_unique<TdmKestravel>(c.serveur, TdmKestravel::Serveur::Oui);
    TdmKestravel& dm = *base;
    // Exported tables add up (each product's stock with its movements) even
    // while tills sell.
    std::optional<TLectureSql> instantane;
    if (exporter)
        instantane.emplace(dm.Connexion());
    for (TTableCsv t : tables) {
        if (exporter) {
            // The written file's path goes to standard output, for scripts.
            const TResultatExport r = ExporterTable(dm, t, dossier);
            std::printf("%s\n", r.chemin.toLocal8Bit().constData());
            if (r.remplacements > 0)
                Afficher(MessageRemplacements(t, r));
        } else if (apercu) {
            AfficherApercu(ApercuImport(dm, t, dossier));
        } else {
            const TResultatImport r = ImporterTable(dm, t, dossier);
            Afficher(MessageLignesSupprimees(t, r.supprimees));
        }
    }
    return 0;
}
// Each command gets the whole command line (a[0] the program, a[1] the
// command) and returns the exit status; it throws EKestravel on a failure.
int Creer(const QStringList& a)
{
    if (a[2] == "--server") {
        if (a.size() < 4)
            return Usage();
        if (a.contains("--roles-script"))
            EcrireScriptRoles(a[3], Option(a, "--roles-script", QString()));
        else
            CreerCatalogueServeur(a[3]);
    } else {
        CreerCatalogueVide(a[2]);
    }
    return 0;
}

int Redonner(const QStringList& a)
{
    if (a[2] != "--server" || a.size() < 4)
        return Usage();
    RedonnerDroitsCatalogue(a[3]);
    Afficher(QStringLiteral("Droits des rôles de vente et de bureau du catalogue donnés."));
    return 0;
}

int Migrer(const QStringList& a)
{
    if (a.size() < 4)
        return Usage();
    const qint64 lignes = MigrerVersServeur(a[2], a[3]);
    Afficher(QStringLiteral("%1 lignes copiées vers le serveur.").arg(lignes));
    return 0;
}

int Demo(const QStringList& a)
{
    QString programme = Option(a, "--bin", QDir(QCoreApplication::applicationDirPath()).filePath("kestravel"));
    if (!QFileInfo::exists(programme))
        programme.clear();
    CreerDemo(a[2], programme);
    const QString serveur = Option(a, "--server", QString());
    if (!serveur.isEmpty()) {
        // The same catalogue on the server, named by Kestravel.conf.
        const QString module = QDir(a[2]).filePath("Modules/Kestravel/");
        MigrerVersServeur(module + "Kestravel.abs", serveur);
        for (const char* suffixe : {"", "-wal", "-shm"})
            QFile::remove(module + "Kestravel.abs" + suffixe);
        EcrireEmplacementServeur(module, serveur);
    }
    return 0;
}

int Generer(const QStringList& a)
{
    TOptionsGeneration o;
    o.produits = Option(a, "--products", "100000").toLongLong();
    o.categories = Option(a, "--categories", "1000").toInt();
    o.grosseCategorie = Option(a, "--big-category", "0").toLongLong();
    if (o.produits < 0 || o.categories < 1)
        return Usage();
    const TCatalogueNomme c = CatalogueNomme(a);
    if (c.serveur.isEmpty()) {
        GenererCatalogue(c.chemin, o);
        return 0;
    }
    // Generated in a file, then copied to the empty server catalogue in one
    // transaction.
    QTemporaryDir dossier;
    if (!dossier.isValid())
        throw EKestravel(QStringLiteral("Dossier temporaire impossible à créer."));
    GenererCatalogue(dossier.filePath("Kestravel.abs"), o);
    const qint64 lignes = MigrerVersServeur(dossier.filePath("Kestravel.abs"), c.serveur);
    Afficher(QStringLiteral("%1 lignes copiées vers le serveur.").arg(lignes));
    return 0;
}

int Exporter(const QStringList& a) { return Interchange(a, true); }
int Importer(const QStringList& a) { return Interchange(a, false); }

struct TCommande {
    const char* nom;
    int (*executer)(const QStringList& a);
};
const TCommande Commandes[] = {{"create", Creer},     {"grant", Redonner},    {"migrate", Migrer}, {"demo", Demo},
                               {"generate", Generer}, {"export", Exporter}, {"import", Importer}};

// While the toolkit starts, it looks for a display server's socket in the
// session's runtime folder and warns when a session has none, which a
// command-line tool drawing off screen has no use of: that one warning is
// left out, any other goes through.
QtMessageHandler g_messagesQt = nullptr;
void FiltrerDemarrage(QtMsgType type, const QMessageLogContext& contexte, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    g_messagesQt(type, contexte, message);
}

std::unique_ptr<QCoreApplication> Application(int& argc, char* argv[], bool dessine)
{
    if (!dessine)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_messagesQt = qInstallMessageHandler(FiltrerDemarrage);
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    qInstallMessageHandler(g_messagesQt);
    return app;
}

bool AideDemandee(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0)
            return true;
    return false;
}
}  // namespace

int main(int argc, char* argv[])
{
    // Help asked for is an answer, not an error.
    if (AideDemandee(argc, argv)) {
        std::fputs(TexteUsage, stdout);
        return 0;
    }
    // Only the demo draws (its pictures, without any screen); the other
    // commands need no graphical module at all.
    const std::unique_ptr<QCoreApplication> app = Application(argc, argv, argc > 1 && qstrcmp(argv[1], "demo") == 0);
    const QStringList a = QCoreApplication::arguments();
    if (a.size() < 3)
        return Usage();
    for (const TCommande& c : Commandes) {
        if (a[1] != QLatin1String(c.nom))
            continue;
        try {
            return c.executer(a);
        } catch (const EKestravel& e) {
            std::fprintf(stderr, "%s\n", e.Message().toLocal8Bit().constData());
            return 1;
        }
    }
    return Usage();
}
