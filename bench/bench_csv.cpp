// CSV export and import of `Produit` against the sqlite3 command-line tool on
// the same rows, measured in the same run: time and peak memory of each
// process (through /usr/bin/time), for two catalogue sizes so that memory can
// be seen not to grow with the file. Then the import's preview against the
// import itself.
//
// Usage: bench_csv SCRATCH BUILD [PRODUITS...]   (default 200000 1000000)

#include "bench/bench_commun.h"
#include "core/store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>

namespace {
QString g_build;
qint64 g_produits = 0;

struct TMesure {
    double secondes = 0;  // wall clock
    double cpu = 0;  // user + system: steadier on a shared machine
    qint64 memoireKo = 0;
};

// Runs a program under /usr/bin/time; standard output may go to a file.
TMesure Mesurer(const QString& programme, const QStringList& arguments, const QString& sortie = {})
{
    const QString rapport = QDir::temp().filePath("bench_csv_time.txt");
    QProcess p;
    if (!sortie.isEmpty())
        p.setStandardOutputFile(sortie);
    else
        p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start("/usr/bin/time", QStringList{"-o", rapport, "-f", "%M %U %S"} << programme << arguments);
    p.waitForFinished(-1);
    TMesure m;
    m.secondes = t.elapsed() / 1000.0;
    QFile f(rapport);
    if (f.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> champs = f.readAll().trimmed().split('\n').last().split(' ');
        m.memoireKo = champs.value(0).toLongLong();
        m.cpu = champs.value(1).toDouble() + champs.value(2).toDouble();
    }
    if (p.exitCode() != 0)
        std::fprintf(stderr, "échec : %s %s\n", qPrintable(programme), qPrintable(arguments.join(' ')));
    return m;
}

QString Outil() { return g_build + "/tools/kestravel-db"; }

void Ligne(const char* quoi, const TMesure& nous, const TMesure& base)
{
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf(
        "  %-7s kestravel-db %6.2f s (cpu %5.2f s) %6lld Ko | sqlite3 %6.2f s (cpu %5.2f s) %6lld Ko"
        " | temps x%.2f, cpu x%.2f (cible <= 2)\n",
        quoi, nous.secondes, nous.cpu, nous.memoireKo, base.secondes, base.cpu, base.memoireKo,
        ratio(nous.secondes, base.secondes), ratio(nous.cpu, base.cpu));
    const QByteArray nom = QStringLiteral("%1 CSV de Produit (%2 produits)").arg(quoi).arg(g_produits).toUtf8();
    bench::Consigner(nom.constData(), nous.secondes * 1000, base.secondes * 1000, QStringLiteral("≤ 2×"),
                     nous.secondes <= 2 * base.secondes);
}

void Mesures(const QString& dossier, qint64 produits)
{
    QDir(dossier).removeRecursively();
    QDir().mkpath(dossier + "/export");
    QDir().mkpath(dossier + "/import");
    const QString base = dossier + "/catalogue.abs";
    QProcess::execute(Outil(), {"generate", base, "--products", QString::number(produits), "--categories", "10000"});
    std::printf("%lld produits\n", produits);
    g_produits = produits;

    const TMesure exportNous = Mesurer(Outil(), {"export", base, dossier + "/export", "Produit"});
    const TMesure exportBase =
        Mesurer("/usr/bin/sqlite3",
                {"-csv", "-separator", ";", base,
                 "SELECT Externe, IdProduit, IdProduitType, Description, CodeExport, PrixAchatHT, PrixTarifHT, "
                 "PrixVenteHT, Libelle, DateCreation, Reference, Lien, Stock, StockMini FROM Produit "
                 "ORDER BY Externe, IdProduit, IdProduitType"},
                dossier + "/sqlite.csv");
    Ligne("export", exportNous, exportBase);

    const QStringList fichiers = QDir(dossier + "/export").entryList({"*_export_produit.csv"});
    if (fichiers.isEmpty())
        return;
    const QString csv = dossier + "/import/import_produit.csv";
    QFile::rename(dossier + "/export/" + fichiers.first(), csv);
    std::printf("  fichier : %lld octets\n", QFile(csv).size());

    // Both import into an empty catalogue of the same schema. The sqlite3
    // tool warns on every line about the field after the last semicolon
    // (sent to /dev/null) and imports the rows anyway.
    const QString vide = dossier + "/vide.abs", videSqlite = dossier + "/vide-sqlite.abs";
    CreerCatalogueVide(vide);
    CreerCatalogueVide(videSqlite);
    const TMesure importNous = Mesurer(Outil(), {"import", vide, dossier + "/import", "Produit"});
    const TMesure importBase =
        Mesurer("/usr/bin/sqlite3", {videSqlite, ".mode csv", ".separator ;", ".import --skip 1 " + csv + " Produit"});
    Ligne("import", importNous, importBase);

    // The preview of that file against the catalogue it came from (every
    // row compared, column by column), then the import it announces, into
    // a copy of that same catalogue: the old rows deleted, the file's
    // inserted.
    const QString plein = dossier + "/plein.abs";
    QFile::copy(base, plein);
    const TMesure apercu =
        Mesurer(Outil(), {"import", "--dry-run", base, dossier + "/import", "Produit"}, dossier + "/apercu.txt");
    const TMesure importPlein = Mesurer(Outil(), {"import", plein, dossier + "/import", "Produit"});
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf(
        "  aperçu  kestravel-db %6.2f s (cpu %5.2f s) %6lld Ko | import dans le catalogue plein %6.2f s (cpu %5.2f "
        "s) | temps x%.2f, cpu x%.2f (cible <= 1,3) ; x%.2f l'import dans un catalogue vide\n",
        apercu.secondes, apercu.cpu, apercu.memoireKo, importPlein.secondes, importPlein.cpu,
        ratio(apercu.secondes, importPlein.secondes), ratio(apercu.cpu, importPlein.cpu),
        ratio(apercu.secondes, importNous.secondes));
}
}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const bench::TDossiers d = bench::Dossiers(argc, argv);
    g_build = d.build;
    QList<qint64> tailles;
    for (int i = 3; i < argc; ++i)
        tailles << QByteArray(argv[i]).toLongLong();
    if (tailles.isEmpty())
        tailles = {200000, 1000000};
    for (qint64 n : tailles)
        Mesures(QDir(d.travail).filePath(QStringLiteral("csv-%1").arg(n)), n);
    return 0;
}
