// Start of CONFIG on a 1,000,000-product catalogue, from the host's start of
// `kestravel` to its window painted and idle, against a trivial Qt window
// (this program with --fenetre-triviale) started the same way: each
// process ends at that moment (bench/repos.cpp, loaded with LD_PRELOAD).

#include "bench/bench_commun.h"
#include "core/store/dmkestravel.h"
#include "core/store/recherche.h"

#include <QApplication>
#include <QLabel>
#include <utility>

namespace {
const int NbEssais = 11;

int FenetreTriviale(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel fenetre(QStringLiteral("Fenêtre triviale"));
    fenetre.resize(800, 600);
    fenetre.show();
    return app.exec();
}

// Wall time of one start of `commande` in ms, or stops the program when it
// fails.
double Demarrage(const QStringList& commande)
{
    const bench::Mesure m = bench::Lancer(commande);
    if (m.code != 0) {
        std::fprintf(stderr, "%s a échoué (code %d)\n", qPrintable(commande.join(' ')), m.code);
        std::exit(1);
    }
    return m.secondes * 1000;
}

// Median start times of both commands, started in turn: a machine that
// gets busier or quieter during the run weighs on both alike.
std::pair<double, double> Demarrages(const QStringList& commande, const QStringList& base)
{
    std::vector<double> temps, tempsBase;
    for (int i = 0; i < NbEssais; ++i) {
        tempsBase.push_back(Demarrage(base));
        temps.push_back(Demarrage(commande));
    }
    return {bench::Mediane(temps), bench::Mediane(tempsBase)};
}
}  // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--fenetre-triviale") == 0)
        return FenetreTriviale(argc, argv);
    bench::PlateformeHorsEcran();
    const auto [dossier, build] = bench::Dossiers(argc, argv);
    QString racine;
    {
        QCoreApplication app(argc, argv);
        const QString catalogue = bench::CatalogueGrandeCategorie(argc, argv);
        {
            // Built once, as the first window on a catalogue would.
            TdmKestravel dm(catalogue);
            if (!IndexRechercheInstalle(dm.Connexion()))
                InstallerIndexRecherche(dm.Connexion());
        }
        racine = dossier + "/demarrage/";
        bench::Installation(racine, build, catalogue);
        bench::Copier(build + "/kestravel-fenetres", racine + "Modules/Kestravel/kestravel-fenetres");
        QFile::setPermissions(racine + "Modules/Kestravel/kestravel-fenetres",
                              QFile::permissions(build + "/kestravel-fenetres"));
    }
    qputenv("LD_PRELOAD", QFile::encodeName(build + "/bench/kestravel-repos.so"));
    qputenv("KESTRAVEL_REPOS", "1");
    const QString programme = racine + "Modules/Kestravel/kestravel";
    const auto [config, triviale] =
        Demarrages({programme, "CONFIG", racine + "Kestravel.ini"},
                   {QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteFilePath(), "--fenetre-triviale"});
    std::printf("médiane de %d démarrages de chacun, en alternance ; base : une fenêtre Qt triviale\n", NbEssais);
    bench::Ratio("CONFIG jusqu'à la fenêtre au repos (1 000 000)", config, triviale, 2);
    return 0;
}
