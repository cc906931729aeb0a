// The catalogue on a PostgreSQL server (a private one started in the scratch
// folder, durable writes on), 1,000,000 products:
//  - a 10,000-line "Commander" request through the real program against
//    psql running the same statements in one transaction;
//  - 16 one-line requests started at once, round after round: requests per
//    second on the server and on the catalogue file, same machine.
//
// Usage: bench_serveur SCRATCH BUILD

#include "bench/bench_commun.h"
#include "core/store/erreurs.h"

#include <QCoreApplication>
#include <QProcess>
#include <algorithm>
#include <memory>

namespace {
const int NbLignes = 10000, NbEssais = 5, NbProcessus = 16, NbTours = 10;

// Seconds for every round of NbProcessus one-line requests started at once.
double Simultanees(const QString& programme, const QString& racine, const QList<QByteArray>& cles)
{
    QElapsedTimer t;
    t.start();
    for (int tour = 0; tour < NbTours; ++tour) {
        std::vector<std::unique_ptr<QProcess>> p;
        for (int n = 0; n < NbProcessus; ++n) {
            const QString f = racine + QStringLiteral("une-%1.xml").arg(n);
            bench::Ecrire(f,
                          "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Kestravel><Produit Type=\"Commander\" "
                              + cles[n] + " Quantite=\"1\"/></Kestravel>\n");
            p.emplace_back(std::make_unique<QProcess>());
            p.back()->start(programme, {"CONTROLE", racine + "Kestravel.ini", f});
        }
        for (auto& q : p)
            if (!q->waitForFinished(120000) || q->exitCode() != 0) {
                std::fprintf(stderr, "CONTROLE a échoué : %s\n", q->readAllStandardError().constData());
                std::exit(1);
            }
    }
    return t.nsecsElapsed() / 1e9;
}
}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const auto [dossier, build] = bench::Dossiers(argc, argv);
    const QString fichier =
        bench::Catalogue(dossier, build, "store-1M.abs", {"--products", "1000000", "--categories", "10000"});
    const QString admin = bench::DemarrerServeur(dossier);
    try {
        const QString serveur = bench::BaseServeur(admin, "bench1m", fichier);
        TConnexionPg c(serveur);
        // Products spread over the table, each with enough stock.
        const TResultatPg r =
            c.Executer(QStringLiteral("SELECT Externe, IdProduit, IdProduitType FROM Produit WHERE IdProduit % 97 = 0"
                                      " ORDER BY IdProduit LIMIT %1")
                           .arg(NbLignes));
        QByteArray lignes;
        QStringList valeurs, externes, ids, types;
        QList<QByteArray> cles;
        for (int i = 0; i < r.Lignes(); ++i) {
            const QString e = r.Texte(i, 0), id = r.Texte(i, 1), t = r.Texte(i, 2);
            cles << QStringLiteral("Externe=\"%1\" IdProduit=\"%2\" IdProduitType=\"%3\"").arg(e, id, t).toUtf8();
            lignes += "<Produit Type=\"Commander\" " + cles.last() + " Quantite=\"1\"/>";
            valeurs << QStringLiteral("(%1, %2, %3)").arg(e, id, t);
            externes << e;
            ids << id;
            types << t;
        }
        // The statements the program sends for the request: the rows locked
        // and read at once, the new stocks, the movements.
        const QString tableaux = "'{" + externes.join(',') + "}'::bigint[], '{" + ids.join(',') + "}'::bigint[], '{"
            + types.join(',') + "}'::bigint[]";
        const QByteArray sql =
            QStringLiteral(
                "BEGIN;\n"
                "SELECT Externe, IdProduit, IdProduitType, COALESCE(Stock, 0), Libelle, Description, Reference,"
                " COALESCE(PrixAchatHT, 0), COALESCE(PrixTarifHT, 0), COALESCE(PrixVenteHT, 0), Lien FROM Produit"
                " WHERE (Externe, IdProduit, IdProduitType) IN (SELECT * FROM unnest(%1))"
                " ORDER BY Externe, IdProduit, IdProduitType FOR UPDATE;\n"
                "UPDATE Produit p SET Stock = p.Stock - 1 FROM unnest(%1) AS v(e, i, t)"
                " WHERE p.Externe = v.e AND p.IdProduit = v.i AND p.IdProduitType = v.t;\n"
                // psql sends the table's name as the server spells it.
                "INSERT INTO \"transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew, Libelle, "
                "DateMaj)"
                " SELECT e, i, t, 1000, 999, 'Passage en commande', to_char(now(), 'YYYY-MM-DD HH24:MI:SS.MS')"
                " FROM unnest(%1) WITH ORDINALITY AS v(e, i, t, o) ORDER BY o;\n"
                "COMMIT;\n")
                .arg(tableaux)
                .toUtf8();
        const QString retour = "UPDATE Produit SET Stock = 1000 WHERE (Externe, IdProduit, IdProduitType) IN (VALUES "
            + valeurs.join(", ") + ")";
        c.Executer(retour);

        const QString racine = dossier + "/serveur/";
        const QString programme = bench::Installation(racine, build, fichier, serveur);
        const QString demande = racine + "demande.xml", scriptSql = racine + "demande.sql";
        bench::Ecrire(scriptSql, sql);
        std::vector<double> nous, psql;
        for (int essai = 0; essai < NbEssais; ++essai) {
            bench::Ecrire(demande,
                          "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Kestravel>" + lignes + "</Kestravel>\n");
            const bench::Mesure m = bench::Lancer({programme, "CONTROLE", racine + "Kestravel.ini", demande});
            if (m.code != 0) {
                std::fprintf(stderr, "kestravel CONTROLE a échoué (code %d)\n", m.code);
                return 1;
            }
            nous.push_back(m.secondes * 1000);
            c.Executer(retour);
            psql.push_back(
                bench::Lancer({"/usr/bin/psql", "-q", "-X", "-v", "ON_ERROR_STOP=1", serveur, "-f", scriptSql}).secondes
                * 1000);
            c.Executer(retour);
        }
        std::printf("serveur PostgreSQL local, catalogue de 1 000 000 produits (médianes de %d) :\n", NbEssais);
        bench::Ratio("CONTROLE de 10 000 lignes contre psql", bench::Mediane(nous), bench::Mediane(psql), 2);

        const QString racineFichier = dossier + "/fichier-simultane/";
        const QString programmeFichier = bench::Installation(racineFichier, build, fichier);
        const double surServeur = Simultanees(programme, racine, cles);
        const double surFichier = Simultanees(programmeFichier, racineFichier, cles);
        const int total = NbProcessus * NbTours;
        std::printf(
            "%d demandes d'une ligne, %d à la fois : serveur %.0f demandes/s, fichier %.0f demandes/s"
            " (serveur/fichier %.2f×)\n",
            total, NbProcessus, total / surServeur, total / surFichier, surFichier / surServeur);
    } catch (const EKestravel& e) {
        std::fprintf(stderr, "%s\n", e.Message().toLocal8Bit().constData());
        return 1;
    }
    bench::ArreterServeur(dossier);
    return 0;
}
