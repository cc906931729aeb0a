// kestravel-db: makes catalogues for installations, demos and benchmarks.

#include "store/erreurs.h"
#include "store/schema.h"
#include "tools/demo.h"
#include "tools/generation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

namespace {
int Usage()
{
    std::fprintf(stderr,
                 "Usage :\n"
                 "  kestravel-db create CHEMIN              catalogue vide\n"
                 "  kestravel-db demo DOSSIER [--bin KESTRAVEL]  installation de démonstration\n"
                 "  kestravel-db generate CHEMIN --products N --categories M [--big-category K]\n");
    return 2;
}

QString Option(const QStringList& a, const QString& nom, const QString& defaut)
{
    const int i = int(a.indexOf(nom));
    return (i >= 0 && i + 1 < a.size()) ? a[i + 1] : defaut;
}
}  // namespace

int main(int argc, char* argv[])
{
    // Pictures of the demo are drawn without any screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList a = QCoreApplication::arguments();
    if (a.size() < 3)
        return Usage();
    const QString commande = a[1];
    try {
        if (commande == "create") {
            CreerCatalogueVide(a[2]);
        } else if (commande == "demo") {
            QString programme = Option(a, "--bin", QDir(QCoreApplication::applicationDirPath()).filePath("kestravel"));
            if (!QFileInfo::exists(programme))
                programme.clear();
            CreerDemo(a[2], programme);
        } else if (commande == "generate") {
            TOptionsGeneration o;
            o.produits = Option(a, "--products", "100000").toLongLong();
            o.categories = Option(a, "--categories", "1000").toInt();
            o.grosseCategorie = Option(a, "--big-category", "0").toLongLong();
            if (o.produits < 0 || o.categories < 1)
                return Usage();
            GenererCatalogue(a[2], o);
        } else {
            return Usage();
        }
    } catch (const EKestravel& e) {
        std::fprintf(stderr, "%s\n", e.Message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
