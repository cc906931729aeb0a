#pragma once
// Small helpers shared by the benchmark programs.
//
// Every benchmark runs with no argument from a fresh build: its scratch
// folder (first argument, else build/bench-data) and the build folder
// (second argument, else the one holding the program) come from Dossiers(),
// which creates what is missing. Each figure with a target goes through
// Ratio() or Duree(): a line for the reader, and a tab-separated line in
// the file named by KESTRAVEL_BENCH_RESULTATS, from which bench/run-all
// prints its closing table.

#include "core/base/emplacement.h"
#include "core/serveur/catalogueserveur.h"
#include "core/store/libpq.h"

#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

extern char** environ;

namespace bench {

struct TDossiers {
    QString travail;  // scratch folder of this benchmark, absolute, created
    QString build;  // the build folder, absolute
};
// `sousDossier` (when given) is created inside the scratch folder and is
// the one returned.
inline TDossiers Dossiers(int argc, char* argv[], const QString& sousDossier = QString())
{
    TDossiers d;
    const QString programme = QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteFilePath();
    d.build = argc > 2 ? QDir(QString::fromLocal8Bit(argv[2])).absolutePath()
                       : QFileInfo(programme).dir().absoluteFilePath("..");
    d.build = QDir::cleanPath(d.build);
    const QString travail = argc > 1 ? QString::fromLocal8Bit(argv[1]) : d.build + "/bench-data";
    d.travail = QDir::cleanPath(QDir(travail).absoluteFilePath(sousDossier.isEmpty() ? "." : sousDossier));
    if (!QDir().mkpath(d.travail)) {
        std::fprintf(stderr, "Dossier de travail impossible à créer : %s\n", qPrintable(d.travail));
        std::exit(1);
    }
    return d;
}

// One line of run-all's table: the benchmark, our figure, the baseline's,
// the ratio, the target as written, and whether it is met. The numbers are
// written with a point whatever the program's locale (Qt's application
// object takes the user's, a comma in French), so that the table is the
// same under any LANG.
inline void Consigner(const char* quoi, double nous, double base, const QString& cible, bool atteinte)
{
    const QByteArray fichier = qgetenv("KESTRAVEL_BENCH_RESULTATS");
    if (fichier.isEmpty())
        return;
    const auto nombre = [](double v) { return QByteArray::number(v, 'f', 2); };
    const QByteArray ligne = QByteArray(quoi) + '\t' + nombre(nous) + '\t' + nombre(base) + '\t'
        + nombre(base > 0 ? nous / base : 0.0) + '\t' + cible.toUtf8() + '\t' + (atteinte ? "oui" : "non") + '\n';
    QFile f(QFile::decodeName(fichier));
    if (f.open(QIODevice::WriteOnly | QIODevice::Append))
        f.write(ligne);
}

struct Mesure {
    double secondes = 0;
    long pointeKo = 0;
    int code = -1;
};

// Runs a program (stdin from a file when given, stdout discarded) and
// returns its wall time and peak resident memory.
inline Mesure Lancer(const QStringList& commande, const QString& entree = QString())
{
    std::vector<QByteArray> octets;
    for (const QString& a : commande)
        octets.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : octets)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray fichierEntree = QFile::encodeName(entree);
    if (!entree.isEmpty())
        posix_spawn_file_actions_addopen(&actions, 0, fichierEntree.constData(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto debut = std::chrono::steady_clock::now();
    pid_t pid = 0;
    Mesure m;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return m;
    }
    int statut = 0;
    rusage ru{};
    wait4(pid, &statut, 0, &ru);
    m.secondes = std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
    m.pointeKo = ru.ru_maxrss;
    m.code = WIFEXITED(statut) ? WEXITSTATUS(statut) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return m;
}

// Path of a generated catalogue in the scratch folder, made once with
// kestravel-db and reused by later runs.
inline QString Catalogue(const QString& dossier, const QString& build, const QString& nom, const QStringList& options)
{
    const QString chemin = QDir(dossier).filePath(nom);
    if (!QFile::exists(chemin)) {
        std::printf("génération de %s…\n", qPrintable(chemin));
        std::fflush(stdout);
        const int rc =
            QProcess::execute(QDir(build).filePath("tools/kestravel-db"), QStringList{"generate", chemin} + options);
        if (rc != 0) {
            std::fprintf(stderr, "échec de la génération\n");
            std::exit(1);
        }
    }
    return chemin;
}

// Best of n runs, in milliseconds.
inline double Mesurer(int n, const std::function<void()>& f)
{
    double meilleur = 1e300;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        meilleur = std::min(meilleur, t.nsecsElapsed() / 1e6);
    }
    return meilleur;
}

// Best of n runs, in milliseconds of this process's processor time (user and
// system): on a machine shared with other work, the ratio of two such figures
// stays put where wall times do not.
inline double MesurerCpu(int n, const std::function<void()>& f)
{
    const auto cpu = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    double meilleur = 1e300;
    for (int i = 0; i < n; ++i) {
        const double debut = cpu();
        f();
        meilleur = std::min(meilleur, cpu() - debut);
    }
    return meilleur;
}

// A memory figure of the process ("VmHWM:", "VmRSS:"…), in MiB.
inline double Memoire(const char* cle)
{
    QFile f("/proc/self/status");
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& l : f.readAll().split('\n'))
            if (l.startsWith(cle))
                return l.mid(int(qstrlen(cle))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Peak resident memory of the process so far, in MiB.
inline double MemoireMax() { return Memoire("VmHWM:"); }
// Resident memory of the process now, in MiB.
inline double MemoireActuelle() { return Memoire("VmRSS:"); }

// Builds what `construire` adds to a catalogue (an index) unless
// `deja` says it is there, and tells how long that one-off step took: it is
// no figure of the benchmark, which measures the catalogue as used daily.
inline void ConstruireUneFois(const char* quoi, bool deja, const std::function<void()>& construire)
{
    if (deja)
        return;
    QElapsedTimer t;
    t.start();
    construire();
    std::printf("construction %s (une fois par catalogue) : %.1f s\n", quoi, t.nsecsElapsed() / 1e9);
}

// The window benchmarks' start: the offscreen platform unless another is
// asked for, and the catalogue `nom` made in the scratch folder of the
// command line (arguments: scratch folder, build folder).
inline void PlateformeHorsEcran()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
inline QString CatalogueDesArguments(int argc, char* argv[], const QString& nom, const QStringList& options)
{
    const TDossiers d = Dossiers(argc, argv);
    return Catalogue(d.travail, d.build, nom, options);
}
// The lists' catalogue: 1,000,000 products in 10,000 categories, the first
// holding 50,000.
inline QString CatalogueGrandeCategorie(int argc, char* argv[])
{
    return CatalogueDesArguments(argc, argv, "listes-1M.abs",
                                 {"--products", "1000000", "--categories", "10000", "--big-category", "50000"});
}

// The bare baseline: runs `sql` (its first parameter bound to `parametre`
// when given) to its end, reading every column as a list does, texts
// converted. Best of `fois`, in milliseconds; `lignes` gets the row count.
inline double RequeteBrute(sqlite3* base, const char* sql, long long& lignes, int fois,
                           const QByteArray& parametre = QByteArray())
{
    return Mesurer(fois, [&] {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(base, sql, -1, &st, nullptr);
        if (!parametre.isNull())
            sqlite3_bind_text(st, 1, parametre.constData(), int(parametre.size()), SQLITE_TRANSIENT);
        lignes = 0;
        long long somme = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            ++lignes;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                somme += sqlite3_column_type(st, i) == SQLITE_TEXT
                    ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                        sqlite3_column_bytes(st, i))
                          .size()
                    : sqlite3_column_int64(st, i);
        }
        sqlite3_finalize(st);
        if (somme == -1)
            std::puts("");
    });
}

// A figure whose target is a ratio to the baseline's (both in ms).
inline void Ratio(const char* quoi, double ms, double baseMs, double cible)
{
    const bool atteinte = ms / baseMs <= cible;
    std::printf("%-46s %9.1f ms   base %9.1f ms   ratio %5.2f×  (cible ≤ %.1f×) %s\n", quoi, ms, baseMs, ms / baseMs,
                cible, atteinte ? "OK" : "HORS CIBLE");
    Consigner(quoi, ms, baseMs, QStringLiteral("≤ %1×").arg(cible), atteinte);
}

// A figure whose target is a duration (ms), shown beside its baseline.
inline void Duree(const char* quoi, double ms, double baseMs, double cibleMs)
{
    const bool atteinte = ms <= cibleMs;
    std::printf("%-46s %9.2f ms   base %9.2f ms   ratio %5.2f×  (cible ≤ %.0f ms) %s\n", quoi, ms, baseMs,
                ms / baseMs, cibleMs, atteinte ? "OK" : "HORS CIBLE");
    Consigner(quoi, ms, baseMs, QStringLiteral("≤ %1 ms").arg(cibleMs), atteinte);
}

// Writes a small file of the benchmark (a request, a script, settings).
inline void Ecrire(const QString& chemin, const QByteArray& contenu)
{
    QFile f(chemin);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(contenu);
}

// Copies a catalogue file over another, dropping the target's former
// journal files with it.
inline bool Copier(const QString& de, const QString& vers)
{
    for (const QString& f : {vers, vers + "-wal", vers + "-shm"})
        QFile::remove(f);
    return QFile::copy(de, vers);
}

inline double Mediane(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// An installation under `racine`: the program built in `build`, the host's
// settings, and a copy of the catalogue file `fichier`, or, when `serveur`
// is given, a Kestravel.conf naming that server. Returns the program's path.
inline QString Installation(const QString& racine, const QString& build, const QString& fichier,
                            const QString& serveur = QString())
{
    const QString module = racine + "Modules/Kestravel/";
    QDir().mkpath(module);
    QDir().mkpath(racine + "Administration");
    Copier(build + "/kestravel", module + "kestravel");
    QFile::setPermissions(module + "kestravel", QFile::permissions(build + "/kestravel"));
    Ecrire(racine + "Kestravel.ini",
           QStringLiteral("[General]\nVersion=1\nAdministration=%1Administration/\n").arg(racine).toUtf8());
    if (serveur.isEmpty())
        Copier(fichier, module + "Kestravel.abs");
    else
        EcrireEmplacementServeur(module, serveur);
    return module + "kestravel";
}

// Runs scripts/serveur-pg ACTION on the benchmarks' server folder and gives
// the connection string it prints; the program stops when it fails.
inline QString ServeurPg(const char* action, const QString& dossier)
{
    QProcess p;
    p.start(QStringLiteral(KESTRAVEL_SOURCE) + "/scripts/serveur-pg", {action, dossier + "/pg"});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        std::fprintf(stderr, "serveur-pg %s : %s\n", action, p.readAllStandardError().constData());
        std::exit(1);
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}
// The benchmarks' private PostgreSQL server, in `dossier`/pg (durable
// writes on), kept between runs: started, it gives its administration
// connection string.
inline QString DemarrerServeur(const QString& dossier) { return ServeurPg("demarrer", dossier); }
// A PgBouncer in front of that server, in session pooling (the recipe of
// docs/serveur.md).
inline QString DemarrerRegroupeur(const QString& dossier) { return ServeurPg("regroupeur", dossier); }
// Stops it (and its PgBouncer), keeping its databases for the next run.
inline void ArreterServeur(const QString& dossier)
{
    QProcess::execute(QStringLiteral(KESTRAVEL_SOURCE) + "/scripts/serveur-pg",
                      {"arreter", dossier + "/pg", "--garder"});
}
// The connection string of the server's database `nom`, made once from the
// catalogue file `fichier` and reused by later runs (throws EKestravel).
inline QString BaseServeur(const QString& admin, const QString& nom, const QString& fichier)
{
    const QString serveur = QString(admin).replace("dbname=postgres", "dbname=" + nom);
    TConnexionPg a(admin);
    if (a.Executer("SELECT 1 FROM pg_database WHERE datname = $1", {nom}).Lignes() == 0) {
        std::printf("copie de %s vers le serveur…\n", qPrintable(QFileInfo(fichier).fileName()));
        std::fflush(stdout);
        a.Executer("CREATE DATABASE " + nom);
        MigrerVersServeur(fichier, serveur);
        TConnexionPg(serveur).Executer("VACUUM ANALYZE");
    }
    return serveur;
}

}  // namespace bench
