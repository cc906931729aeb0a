// Synchronisation through the real binary: the target installation's
// catalogue is replaced by the source's and the images follow; a bad source
// leaves the target whole.

#include "core/exchange/synchronisation.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "tests/soutien.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {
QByteArray Octets(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Sql(const QString& base, const QString& sql, const QVariantList& v = {})
{
    TdmKestravel dm(base);
    ExecuterSql(dm.Base(), sql, v);
}

QString Texte(const QString& base, const QString& sql)
{
    TdmKestravel dm(base);
    QSqlQuery q = ExecuterSql(dm.Base(), sql);
    QStringList lignes;
    while (q.next()) {
        QStringList champs;
        for (int i = 0; i < q.record().count(); ++i)
            champs << q.value(i).toString();
        lignes << champs.join('|');
    }
    return lignes.join('\n');
}

void Produit(const QString& base, int externe, int id, const QString& lien, int stock = 1)
{
    Sql(base,
        "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Lien, Stock, StockMini, PrixVenteHT)"
        " VALUES (?, ?, 1, ?, ?, ?, 0, 2.5)",
        {externe, id, QStringLiteral("P%1-%2").arg(externe).arg(id), lien, stock});
}

// The whole content of the five tables, for comparisons.
QString Catalogue(const QString& base)
{
    return Texte(base, "SELECT * FROM Produit ORDER BY Externe, IdProduit") + "\n#\n"
        + Texte(base, "SELECT * FROM ProduitType ORDER BY Externe, IdProduitType") + "\n#\n"
        + Texte(base, "SELECT * FROM ProduitCarac ORDER BY ExterneProduitCaracV, IdProduit, IdCarac") + "\n#\n"
        + Texte(base, "SELECT * FROM ProduitTypeCarac ORDER BY Externe, IdProduitCarac") + "\n#\n"
        + Texte(base, "SELECT * FROM \"Transaction\" ORDER BY IdTransaction");
}
}  // namespace

class TestSynchro : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void cheminsParConcatenation()
    {
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
        const QString src = source.Base();
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

        Produit(cible.Base(), 0, 40, "ancien.jpg", 9);
        Sql(cible.Base(),
            "INSERT INTO \"Transaction\" (Externe, IdProduit, QuantiteOld, QuantiteNew, Libelle,"
            " DateMaj) VALUES (0, 40, 0, 9, 'Ajout', '2023-01-01 10:00:00.000')");
        const QString imgCible = cible.Administration() + "Images/";
        QDir().mkpath(imgCible + "Interne");
        EcrireFichier(imgCible + "Interne/1.jpg", "ancienne");
        EcrireFichier(imgCible + "Interne/ancien.jpg", "gardée");

        const auto r = cible.Lancer({"SYNCHRO", source.Racine(), cible.Racine()});
        QVERIFY2(r.code == 0, qPrintable(r.erreurs));
        QCOMPARE(Catalogue(cible.Base()), Catalogue(src));
        QCOMPARE(Octets(imgCible + "Interne/1.jpg"), QByteArray("nouvelle"));
        QCOMPARE(Octets(imgCible + "Externe/e1.bmp"), QByteArray("externe"));
        QCOMPARE(Octets(imgCible + "o3.jpg"), QByteArray("origine 3"));
        QCOMPARE(Octets(imgCible + "Interne/ancien.jpg"), QByteArray("gardée"));
        QVERIFY(!QFile::exists(imgCible + "Interne/absent.jpg"));
        QVERIFY(!QFile::exists(imgCible + "evasion.jpg"));
        QCOMPARE(QDir(imgCible + "Interne").entryList(QDir::Files).size(), 2);  // no temporary left
        // The new catalogue is a working one: a later request uses it.
        Sql(cible.Base(), "UPDATE Produit SET Stock = 3 WHERE IdProduit = 1 AND Externe = 0");
    }

    // An image that is a symbolic link is copied only when it leads into the
    // source's image folders; any other is skipped and said.
    void liensSymboliques()
    {
        TInstallation source, cible;
        QTemporaryDir ailleurs;
        const QString src = source.Base();
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
        Produit(source.Base(), 0, 1, "");
        Produit(source.Base(), 0, 2, "");
        Produit(cible.Base(), 0, 40, "", 9);
        TdmKestravel ouvert(cible.Base());
        QSqlQuery avant = ExecuterSql(ouvert.Base(), "SELECT COUNT(*) FROM Produit");
        QVERIFY(avant.next());
        QCOMPARE(avant.value(0).toInt(), 1);
        avant.finish();

        const auto r = cible.Lancer({"SYNCHRO", source.Racine(), cible.Racine()});
        QVERIFY2(r.code == 0, qPrintable(r.erreurs));
        QSqlQuery apres = ExecuterSql(ouvert.Base(), "SELECT group_concat(IdProduit) FROM Produit");
        QVERIFY(apres.next());
        QCOMPARE(apres.value(0).toString(), QString("1,2"));
        QCOMPARE(Catalogue(cible.Base()), Catalogue(source.Base()));
    }

    void sourceInutilisableLaisseLeCatalogue()
    {
        TInstallation cible;
        Produit(cible.Base(), 0, 40, "ancien.jpg", 9);
        const QString avant = Catalogue(cible.Base());

        // No source database at all.
        TInstallation sansBase(false);
        auto r = cible.Lancer({"SYNCHRO", sansBase.Racine(), cible.Racine()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("introuvable"), qPrintable(r.erreurs));
        QCOMPARE(Catalogue(cible.Base()), avant);

        // A source missing one table, then one missing a field, then a file
        // that is not a database.
        TInstallation incomplete;
        Sql(incomplete.Base(), "DROP TABLE ProduitTypeCarac");
        r = cible.Lancer({"SYNCHRO", incomplete.Racine(), cible.Racine()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("ProduitTypeCarac"), qPrintable(r.erreurs));
        QCOMPARE(Catalogue(cible.Base()), avant);

        TInstallation ancienne;
        Sql(ancienne.Base(), "ALTER TABLE Produit DROP COLUMN CodeExport");
        r = cible.Lancer({"SYNCHRO", ancienne.Racine(), cible.Racine()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("CodeExport"), qPrintable(r.erreurs));
        QCOMPARE(Catalogue(cible.Base()), avant);

        TInstallation abimee(false);
        EcrireFichier(abimee.Base(), QByteArray(8192, 'x'));
        r = cible.Lancer({"SYNCHRO", abimee.Racine(), cible.Racine()});
        QCOMPARE(r.code, 1);
        QCOMPARE(Catalogue(cible.Base()), avant);

        // Roots without their trailing separator name no database.
        r = cible.Lancer({"SYNCHRO", incomplete.Racine().chopped(1), cible.Racine().chopped(1)});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("Modules"), qPrintable(r.erreurs));
        QCOMPARE(Catalogue(cible.Base()), avant);
    }
};

QTEST_GUILESS_MAIN(TestSynchro)
#include "test_synchro.moc"
