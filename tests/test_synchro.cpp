// Synchronisation through the real binary: the target installation's
// catalogue is replaced by the source's and the images follow; a bad source
// leaves the target whole.

#include "core/exchange/synchronisation.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/schema.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace {
QByteArray Octets(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Sql(const TInstallation& inst, const QString& sql, const QVariantList& v = {})
{
    const auto dm = inst.Catalogue();
    TInstructionSql q(dm->Connexion(), sql);
    q.Lier(v);
    q.Executer();
}

QString Texte(const TInstallation& inst, const QString& sql)
{
    const auto dm = inst.Catalogue();
    TInstructionSql q(dm->Connexion(), sql);
    QStringList lignes;
    while (q.Etape()) {
        QStringList champs;
        for (int i = 0; i < q.NombreColonnes(); ++i)
            champs << q.Valeur(i).toString();
        lignes << champs.join('|');
    }
    return lignes.join('\n');
}

void Produit(const TInstallation& inst, int externe, int id, const QString& lien, int stock = 1)
{
    Sql(inst,
        "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Lien, Stock, StockMini, PrixVenteHT)"
        " VALUES (?, ?, 1, ?, ?, ?, 0, 2.5)",
        {externe, id, QStringLiteral("P%1-%2").arg(externe).arg(id), lien, stock});
}

// The whole content of the five tables, for comparisons.
QString Catalogue(const TInstallation& inst)
{
    QStringList tables;
    for (const QString& table : TablesCatalogue()) {
        const QStringList& colonnes = ColonnesCatalogue(table);
        tables << Texte(
            inst,
            "SELECT " + colonnes.join(", ") + " FROM \"" + table + "\" ORDER BY " + colonnes.mid(0, 3).join(", "));
    }
    return tables.join("\n#\n");
}
}  // namespace

class TestSynchro : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void cheminsParConcatenation()
    {
        if (g_serveur)
            QSKIP("sans catalogue");
        QCOMPARE(CheminBaseInstallation("/a/"), QString("/a/Modules/Kestravel/Kestravel.abs"));
        QCOMPARE(CheminBaseInstallation("/a"), QString("/aModules/Kestravel/Kestravel.abs"));
        QCOMPARE(CheminImageInstallation("/a/", 0, "1.jpg"), QString("/a/Administration/Images/Interne/1.jpg"));
        QCOMPARE(CheminImageInstallation("/a/", 1, "1.jpg"), QString("/a/Administration/Images/Externe/1.jpg"));
        QCOMPARE(CheminImageInstallation("/a/", 2, "1.jpg"), QString("/a/Administration/Images/Standard/1.jpg"));
        QCOMPARE(CheminImageInstallation("/a/", 3, "1.jpg"), QString("/a/Administration/Images/1.jpg"));
    }

    void copieCompleteEtImages()
    {
        TInstallation source, cible;
        const TInstallation& src = source;
        Produit(src, 0, 1, "1.jpg");
        Produit(src, 0, 2, "1.jpg");  // same image twice
        Produit(src, 1, 1, "e1.bmp");  // target folder missing
        Produit(src, 3, 4, "o3.jpg");  // no origin folder
        Produit(src, 0, 5, "");  // no image
        Produit(src, 0, 6, "absent.jpg");  // image missing in the source
        Produit(src, 0, 7, "../evasion.jpg");  // never followed
        Sql(src, "INSERT INTO ProduitType VALUES (0, 1, 0, 'Outils'), (1, 1, 0, 'Ext')");
        Sql(src, "INSERT INTO ProduitTypeCarac VALUES (0, 1, 'Poids', 'kg')");
        Sql(src, "INSERT INTO ProduitCarac VALUES (0, 1, 1, '12')");
        Sql(src,
            "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew, Libelle,"
            " DateMaj) VALUES (0, 1, 1, 0, 1, 'Ajout', '2024-01-01 10:00:00.000')");
        const QString imgSrc = source.Administration() + "Images/";
        QDir().mkpath(imgSrc + "Interne");
        QDir().mkpath(imgSrc + "Externe");
        EcrireFichier(imgSrc + "Interne/1.jpg", "nouvelle");
        EcrireFichier(imgSrc + "Externe/e1.bmp", "externe");
        EcrireFichier(imgSrc + "o3.jpg", "origine 3");
        EcrireFichier(imgSrc + "evasion.jpg", "dehors");  // Interne/../evasion.jpg

        Produit(cible, 0, 40, "ancien.jpg", 9);
        Sql(cible,
            "INSERT INTO \"Transaction\" (Externe, IdProduit, QuantiteOld, QuantiteNew, Libelle,"
            " DateMaj) VALUES (0, 40, 0, 9, 'Ajout', '2023-01-01 10:00:00.000')");
        const QString imgCible = cible.Administration() + "Images/";
        QDir().mkpath(imgCible + "Interne");
        EcrireFichier(imgCible + "Interne/1.jpg", "ancienne");
        EcrireFichier(imgCible + "Interne/ancien.jpg", "gardée");
        // What a run killed while copying left, and a user's file alike.
        EcrireFichier(imgCible + "Interne/.vieux.jpg.kestravel-synchro", "moitié");
        EcrireFichier(imgCible + "Interne/vieux.jpg.synchro", "à l'utilisateur");

        const auto r = cible.Lancer({"SYNCHRO", source.Racine(), cible.Racine()});
        QVERIFY2(r.code == 0, qPrintable(r.erreurs));
        QCOMPARE(Catalogue(cible), Catalogue(src));
        QCOMPARE(Octets(imgCible + "Interne/1.jpg"), QByteArray("nouvelle"));
        QCOMPARE(Octets(imgCible + "Externe/e1.bmp"), QByteArray("externe"));
        QCOMPARE(Octets(imgCible + "o3.jpg"), QByteArray("origine 3"));
        QCOMPARE(Octets(imgCible + "Interne/ancien.jpg"), QByteArray("gardée"));
        QVERIFY(!QFile::exists(imgCible + "Interne/absent.jpg"));
        QVERIFY(!QFile::exists(imgCible + "evasion.jpg"));
        QCOMPARE(QDir(imgCible + "Interne").entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"1.jpg", "ancien.jpg", "vieux.jpg.synchro"}));  // no temporary left
        // The new catalogue is a working one: a later request uses it.
        Sql(cible, "UPDATE Produit SET Stock = 3 WHERE IdProduit = 1 AND Externe = 0");
    }

    // An image that is a symbolic link is copied only when it leads into the
    // source's image folders; any other is skipped and said.
    void liensSymboliques()
    {
        TInstallation source, cible;
        QTemporaryDir ailleurs;
        const TInstallation& src = source;
        Produit(src, 0, 1, "dedans.jpg");
        Produit(src, 0, 2, "dehors.jpg");
        Produit(src, 0, 3, "dehors.jpg");  // told once
        Produit(src, 1, 4, "casse.jpg");  // leads nowhere: a missing image
        const QString imgSrc = source.Administration() + "Images/";
        QDir().mkpath(imgSrc + "Interne");
        QDir().mkpath(imgSrc + "Externe");
        EcrireFichier(imgSrc + "Standard.jpg", "image commune");
        EcrireFichier(ailleurs.filePath("secret"), "secret");
        QVERIFY(QFile::link("../Standard.jpg", imgSrc + "Interne/dedans.jpg"));
        QVERIFY(QFile::link(ailleurs.filePath("secret"), imgSrc + "Interne/dehors.jpg"));
        QVERIFY(QFile::link(ailleurs.filePath("absent"), imgSrc + "Externe/casse.jpg"));

        const auto r = cible.Lancer({"SYNCHRO", source.Racine(), cible.Racine()});
        QVERIFY2(r.code == 0, qPrintable(r.erreurs));
        const QString imgCible = cible.Administration() + "Images/";
        QCOMPARE(Octets(imgCible + "Interne/dedans.jpg"), QByteArray("image commune"));
        QVERIFY(!QFileInfo(imgCible + "Interne/dedans.jpg").isSymLink());
        QVERIFY(!QFileInfo::exists(imgCible + "Interne/dehors.jpg"));
        QVERIFY(!QFileInfo::exists(imgCible + "Externe/casse.jpg"));
        QCOMPARE(r.erreurs.count(QString::fromUtf8("n'a pas été copiée")), 1);
        QVERIFY2(r.erreurs.contains(imgSrc + "Interne/dehors.jpg") && r.erreurs.contains(ailleurs.filePath("secret")),
                 qPrintable(r.erreurs));
    }

    // Another process has the target catalogue open meanwhile: the copy still
    // replaces it in one step, and that process then reads the new one.
    void catalogueOuvertAilleurs()
    {
        TInstallation source, cible;
        Produit(source, 0, 1, "");
        Produit(source, 0, 2, "");
        Produit(cible, 0, 40, "", 9);
        const auto ouvert = cible.Catalogue();
        QCOMPARE(ouvert->Connexion().Valeur("SELECT COUNT(*) FROM Produit").toInt(), 1);

        const auto r = cible.Lancer({"SYNCHRO", source.Racine(), cible.Racine()});
        QVERIFY2(r.code == 0, qPrintable(r.erreurs));
        TInstructionSql apres(ouvert->Connexion(), QStringLiteral("SELECT IdProduit FROM Produit ORDER BY IdProduit"));
        QStringList ids;
        while (apres.Etape())
            ids << apres.Texte(0);
        QCOMPARE(ids.join(','), QString("1,2"));
        QCOMPARE(Catalogue(cible), Catalogue(source));
    }

    void sourceInutilisableLaisseLeCatalogue()
    {
        TInstallation cible;
        Produit(cible, 0, 40, "ancien.jpg", 9);
        const QString avant = Catalogue(cible);

        // No source database at all.
        TInstallation sansBase(false);
        auto r = cible.Lancer({"SYNCHRO", sansBase.Racine(), cible.Racine()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("introuvable"), qPrintable(r.erreurs));
        QCOMPARE(Catalogue(cible), avant);

        // A source missing one table, then one missing a field, then a file
        // that is not a database.
        TInstallation incomplete;
        Sql(incomplete, "DROP TABLE ProduitTypeCarac");
        r = cible.Lancer({"SYNCHRO", incomplete.Racine(), cible.Racine()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("ProduitTypeCarac"), qPrintable(r.erreurs));
        QCOMPARE(Catalogue(cible), avant);

        TInstallation ancienne;
        Sql(ancienne, "DROP INDEX IF EXISTS ProduitParCodeExport");
        Sql(ancienne, "ALTER TABLE Produit DROP COLUMN CodeExport");
        r = cible.Lancer({"SYNCHRO", ancienne.Racine(), cible.Racine()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("CodeExport"), qPrintable(r.erreurs));
        QCOMPARE(Catalogue(cible), avant);

        if (!g_serveur) {
            TInstallation abimee(false);
            EcrireFichier(abimee.Base(), QByteArray(8192, 'x'));
            r = cible.Lancer({"SYNCHRO", abimee.Racine(), cible.Racine()});
            QCOMPARE(r.code, 1);
            QCOMPARE(Catalogue(cible), avant);
        }

        // Roots without their trailing separator name no database.
        r = cible.Lancer({"SYNCHRO", incomplete.Racine().chopped(1), cible.Racine().chopped(1)});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("Modules"), qPrintable(r.erreurs));
        QCOMPARE(Catalogue(cible), avant);
    }
};

// The synchronisation between installations whose catalogues are files,
// then between installations whose catalogues are on the server.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return ExecuterSurLesDeuxMoteurs<TestSynchro>(argc, argv);
}
#include "test_synchro.moc"
