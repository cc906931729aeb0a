// The catalogue on a PostgreSQL server (the benchmarks' private one, durable
// writes on), 1,000,100 products, the biggest category holding 50,000:
//  - CSV import of the product table (empty it, load the file, one
//    transaction) against psql's \copy of the same rows, same transaction;
//  - the product list's fill of the biggest category against a bare libpq
//    query reading every value of the same rows;
//  - a search of a fragment every product has, the 200 rows shown, against
//    a bare libpq query of the three texts with LIMIT 200.
//
// Usage: bench_serveur_csv_listes SCRATCH BUILD

#include "bench/bench_commun.h"
#include "core/interchange/interchange.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/lignesproduits.h"
#include "core/store/recherche.h"

#include <QCoreApplication>
#include <cstdlib>

namespace {
const int NbImports = 3, NbListes = 10;

const char* const ColonnesProduit =
    "Externe, IdProduit, IdProduitType, Description, CodeExport, PrixAchatHT, PrixTarifHT, PrixVenteHT, Libelle, "
    "DateCreation, Reference, Lien, Stock, StockMini";

// The bare baseline of a list: the statement, every value read (numbers
// parsed, texts converted as the list converts them).
double RequeteBrute(const QString& serveur, const QByteArray& sql, std::vector<const char*> valeurs, long long& lignes)
{
    const TLibpq& pq = Libpq();
    PGconn* c = pq.connectdb(serveur.toUtf8().constData());
    const double ms = bench::Mesurer(NbListes, [&] {
        PGresult* r = pq.execParams(c, sql.constData(), int(valeurs.size()), nullptr, valeurs.data(), nullptr, nullptr,
                                    0);
        lignes = pq.ntuples(r);
        double somme = 0;
        for (int i = 0; i < lignes; ++i)
            for (int j = 0; j < pq.nfields(r); ++j) {
                const char* v = pq.getvalue(r, i, j);
                if (j == 3 || j == 4)
                    somme += QString::fromUtf8(v, pq.getlength(r, i, j)).size();
                else if (j >= 5 && j <= 7)
                    somme += std::strtod(v, nullptr);
                else
                    somme += double(std::strtoll(v, nullptr, 10));
            }
        pq.clear(r);
        if (somme == -1)
            std::puts("");
    });
    pq.finish(c);
    return ms;
}
}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const auto [dossier, build] = bench::Dossiers(argc, argv);
    const QString fichier = bench::CatalogueGrandeCategorie(argc, argv);
    const QString admin = bench::DemarrerServeur(dossier);
    const int code = [&]() -> int {
        try {
            const QString serveur = bench::BaseServeur(admin, "listes1m", fichier);
            TConnexionPg c(serveur);
            const qint64 produits = c.Executer("SELECT COUNT(*) FROM produit").Entier(0, 0);

            // The list of the biggest category.
            long long lignesBrutes = 0;
            const double brute = RequeteBrute(serveur,
                                              QByteArray("SELECT ") + ColonnesLigneProduit
                                                  + " FROM Produit p WHERE Externe = $1 AND IdProduitType = $2"
                                                    " ORDER BY IdProduit",
                                              {"0", "1"}, lignesBrutes);
            TdmKestravel dm(serveur, TdmKestravel::Serveur::Oui);
            int lignesListe = 0;
            const double liste =
                bench::Mesurer(NbListes, [&] { lignesListe = LireProduitsCategorie(dm, 0, 1).Taille(); });
            if (lignesListe != lignesBrutes) {
                std::fprintf(stderr, "la liste a %d lignes, la requête %lld\n", lignesListe, lignesBrutes);
                return 1;
            }

            // A search of a fragment every label holds ("Produit 0000001"…):
            // the first 200 rows, against a bare query of the three texts.
            long long trouvesBruts = 0;
            const double rechercheBrute = RequeteBrute(
                serveur,
                QByteArray("SELECT ") + ColonnesLigneProduit
                    + " FROM Produit p WHERE lower(p.Libelle) LIKE $1 OR lower(p.Reference) LIKE $1"
                      " OR lower(p.CodeExport) LIKE $1 LIMIT 200",
                {"%pro%"}, trouvesBruts);
            TCritereRecherche critere;
            critere.texte = "pro";
            TBaseSql lecture = TBaseSql::Serveur(serveur);
            int trouves = 0;
            const double recherche =
                bench::Mesurer(NbListes, [&] { trouves = Rechercher(lecture, critere).lignes.Taille(); });
            if (trouves != trouvesBruts) {
                std::fprintf(stderr, "la recherche a %d lignes, la requête %lld\n", trouves, trouvesBruts);
                return 1;
            }

            // The same rows in the module's file and in psql's form (prices
            // with a point, no closing separator).
            const QString csv = dossier + "/csv-serveur";
            QDir().mkpath(csv);
            const QString fichierCsv = CheminImport(TTableCsv::Produit, csv);
            const QString fichierPsql = csv + "/produit-psql.csv";
            if (!QFile::exists(fichierCsv) || !QFile::exists(fichierPsql)) {
                std::printf("exportation de la table Produit…\n");
                std::fflush(stdout);
                QFile::remove(fichierCsv);
                QFile::rename(ExporterTable(dm, TTableCsv::Produit, csv).chemin, fichierCsv);
                const QString copie =
                    QStringLiteral(
                        "\\copy (SELECT %1 FROM produit ORDER BY Externe, IdProduit, IdProduitType) TO "
                        "'%2' WITH (FORMAT csv, DELIMITER ';', HEADER, ENCODING 'WIN1252')")
                        .arg(ColonnesProduit, fichierPsql);
                if (QProcess::execute("/usr/bin/psql", {"-q", "-X", "-v", "ON_ERROR_STOP=1", serveur, "-c", copie})
                    != 0)
                    return 1;
            }
            const QString script = csv + "/import-psql.sql";
            bench::Ecrire(script,
                          QStringLiteral("BEGIN;\nDELETE FROM produit;\n\\copy produit (%1) FROM '%2' WITH (FORMAT "
                                         "csv, DELIMITER ';', HEADER, ENCODING 'WIN1252')\nCOMMIT;\n")
                              .arg(ColonnesProduit, fichierPsql)
                              .toUtf8());
            std::vector<double> nous, psql;
            for (int essai = 0; essai < NbImports; ++essai) {
                // Each load starts from a table without the dead rows of the last.
                c.Executer("VACUUM produit");
                QElapsedTimer t;
                t.start();
                const TResultatImport r = ImporterTable(dm, TTableCsv::Produit, csv);
                nous.push_back(t.nsecsElapsed() / 1e6);
                if (r.inserees != produits) {
                    std::fprintf(stderr, "%lld lignes importées\n", r.inserees);
                    return 1;
                }
                c.Executer("VACUUM produit");
                const bench::Mesure m =
                    bench::Lancer({"/usr/bin/psql", "-q", "-X", "-v", "ON_ERROR_STOP=1", serveur, "-f", script});
                if (m.code != 0) {
                    std::fprintf(stderr, "psql a échoué (code %d)\n", m.code);
                    return 1;
                }
                psql.push_back(m.secondes * 1000);
            }
            c.Executer("VACUUM ANALYZE produit");
            std::printf("serveur PostgreSQL local, catalogue de %lld produits :\n", produits);
            bench::Ratio("import CSV de Produit contre psql \\copy", bench::Mediane(nous), bench::Mediane(psql), 1.5);
            bench::Ratio("liste de la grande catégorie (50 000) contre libpq", liste, brute, 1.5);
            bench::Ratio("recherche « pro », 200 premiers, contre libpq", recherche, rechercheBrute, 2);
        } catch (const EKestravel& e) {
            std::fprintf(stderr, "%s\n", e.Message().toLocal8Bit().constData());
            return 1;
        }
        return 0;
    }();
    bench::ArreterServeur(dossier);
    return code;
}
