// Synchronisation of a generated 1,000,000-product catalogue through the real
// binary, against `sqlite3 source ".backup target"` on the same file in the
// same run.
//
// Usage: bench_synchro SCRATCH BUILD

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/bench_commun.h"

namespace {
using bench::Lancer;
using bench::Mesure;
const int NbProduits = 1000000, NbCategories = 5000, NbEssais = 3;
// Image files in the source for the first products that name one (every
// tenth product's `Lien` is "<number>.jpg" in the generated catalogue).
const int NbImages = 1000;

void Supprimer(const QString& base)
{
    for (const char* suffixe : {"", "-wal", "-shm", "-journal"})
        QFile::remove(base + suffixe);
}
}  // namespace

int main(int argc, char* argv[])
{
    const auto [travail, build] = bench::Dossiers(argc, argv, "synchro");
    const QString source = travail + "/source/", cible = travail + "/cible/";
    const QString outil = build + "/tools/kestravel-db";
    for (const QString& racine : {source, cible}) {
        QDir().mkpath(racine + "Modules/Kestravel");
        QDir().mkpath(racine + "Administration/Images");
    }
    const QString baseSource = source + "Modules/Kestravel/Kestravel.abs";
    const QString baseCible = cible + "Modules/Kestravel/Kestravel.abs";
    const QString marque = travail + QStringLiteral("/genere-%1").arg(NbProduits);
    if (!QFile::exists(marque)) {
        Supprimer(baseSource);
        const Mesure g = Lancer({outil, "generate", baseSource, "--products", QString::number(NbProduits),
                                 "--categories", QString::number(NbCategories)});
        if (g.code != 0) {
            std::fprintf(stderr, "génération impossible\n");
            return 1;
        }
        QFile m(marque);
        m.open(QIODevice::WriteOnly);
    }
    const QString images = source + "Administration/Images/Interne/";
    QDir().mkpath(images);
    for (int i = 1; i <= NbImages; ++i) {
        QFile f(images + QStringLiteral("%1.jpg").arg(i * 10));
        if (!f.exists() && f.open(QIODevice::WriteOnly))
            f.write(QByteArray(2048, char(i)));
    }
    const QString binaire = cible + "Modules/Kestravel/kestravel";
    QFile::remove(binaire);
    QFile::copy(build + "/kestravel", binaire);
    QFile::setPermissions(binaire, QFile::permissions(build + "/kestravel"));

    std::vector<double> nous, reference;
    long pointe = 0;
    const QString copieSql = travail + "/copie-sqlite3.abs";
    for (int essai = 0; essai < NbEssais; ++essai) {
        // The target starts each run as an empty catalogue without images.
        Supprimer(baseCible);
        QDir(cible + "Administration/Images").removeRecursively();
        Lancer({outil, "create", baseCible});
        const Mesure m = Lancer({binaire, "SYNCHRO", source, cible});
        if (m.code != 0) {
            std::fprintf(stderr, "kestravel SYNCHRO a échoué (code %d)\n", m.code);
            return 1;
        }
        nous.push_back(m.secondes);
        pointe = std::max(pointe, m.pointeKo);

        Supprimer(copieSql);
        const Mesure s = Lancer({"/usr/bin/sqlite3", baseSource, ".backup '" + copieSql + "'"});
        if (s.code != 0) {
            std::fprintf(stderr, "sqlite3 .backup a échoué (code %d)\n", s.code);
            return 1;
        }
        reference.push_back(s.secondes);
    }
    Supprimer(copieSql);
    std::sort(nous.begin(), nous.end());
    std::sort(reference.begin(), reference.end());
    const double n = nous[nous.size() / 2], r = reference[reference.size() / 2];
    std::printf("SYNCHRO de %d produits et %d images, médiane de %d ; base : sqlite3 .backup (base seule)\n",
                NbProduits, NbImages, NbEssais);
    bench::Ratio("SYNCHRO contre sqlite3 .backup", n * 1000, r * 1000, 3);
    std::printf("mémoire de pointe de kestravel    : %.1f Mo\n", double(pointe) / 1024.0);
    return 0;
}
