// Price increase of a category with its descendants (category 1: 100,000
// products of its own and some 1,100 descendant categories) in a
// 1,000,000-product catalogue, against one equivalent UPDATE run by the
// sqlite3 command-line tool on a copy of the same file in the same run.

#include "bench/bench_commun.h"
#include "core/catalogue/hausse.h"
#include "core/store/dmkestravel.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {
void Copier(const QString& depuis, const QString& vers)
{
    QFile::remove(vers);
    QFile::remove(vers + "-wal");
    QFile::remove(vers + "-shm");
    if (!QFile::copy(depuis, vers)) {
        std::fprintf(stderr, "copie impossible vers %s\n", qPrintable(vers));
        std::exit(1);
    }
}

// The statement's own time as the tool reports it (".timer on"), so that
// starting the process is not counted against the baseline.
double LancerCli(const QString& base, const QString& sql)
{
    QProcess p;
    p.start("/usr/bin/sqlite3", {base});
    p.waitForStarted();
    p.write((".timer on\n" + sql + "\n").toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(-1);
    const QString sortie = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    const QRegularExpressionMatch m = QRegularExpression("Run Time: real ([0-9.]+)").match(sortie);
    if (p.exitCode() != 0 || !m.hasMatch()) {
        std::fprintf(stderr, "sqlite3 : %s\n", qPrintable(sortie));
        std::exit(1);
    }
    return m.captured(1).toDouble() * 1000;
}
}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const auto [dossier, build] = bench::Dossiers(argc, argv);
    const QString source =
        bench::Catalogue(dossier, build, "hausse-1M.abs",
                         {"--products", "1000000", "--categories", "10000", "--big-category", "100000"});
    const QString copieModule = QDir(dossier).filePath("hausse-module.abs");
    const QString copieCli = QDir(dossier).filePath("hausse-cli.abs");
    Copier(source, copieModule);
    Copier(source, copieCli);

    // Same rows, same arithmetic: prices rounded to the cent, then × 1.1. The
    // baseline is handed the categories ready-made; the module finds them.
    QStringList categories{"1"};
    {
        TdmKestravel dm(source);
        for (int id : CollecterDescendants(dm, 1))
            categories << QString::number(id);
    }
    const QString sql =
        "UPDATE Produit SET PrixAchatHT = round(PrixAchatHT, 2) * 1.1, PrixTarifHT = round(PrixTarifHT, 2) * 1.1,"
        " PrixVenteHT = round(PrixVenteHT, 2) * 1.1 WHERE Externe = 0 AND IdProduitType IN ("
        + categories.join(',') + ");";

    int produits = 0;
    double module = 1e300, cli = 1e300;
    for (int essai = 0; essai < 3; ++essai) {
        cli = std::min(cli, LancerCli(copieCli, sql));
        TdmKestravel dm(copieModule);
        module = std::min(module,
                          bench::Mesurer(1, [&] { produits = AppliquerHausse(dm, 1, HausseCoefficient, 1.1, true); }));
    }
    std::printf("catégorie 1 et %d descendantes : %d produits haussés\n", int(categories.size()) - 1, produits);
    bench::Ratio("hausse avec descendants (module / sqlite3)", module, cli, 3.0);
    QFile::remove(copieModule);
    QFile::remove(copieCli);
    return 0;
}
