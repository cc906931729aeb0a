// Product duplication: the copy's fields, its characteristic values, its
// image file (never over an existing file, never outside the folder) and
// the single transaction.

#include "core/base/chemins.h"
#include "core/catalogue/duplication.h"
#include "core/store/acces.h"
#include "core/store/dates.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class TestDuplication : public QObject {
    Q_OBJECT

    QTemporaryDir m_admin;

    static QString Image(const QString& nom) { return CheminImagesInterne() + nom; }

    // Source product 56 of category 3 (the highest internal number, so the
    // copy gets 57), with two characteristic values and a stock movement.
    static void Source(TCatalogueTest& c, const QString& lien)
    {
        c.Sql("INSERT INTO ProduitType VALUES (0, 3, 0, 'Outillage')");
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (0, 1, 'Longueur', 'mm'), (0, 2, 'Couleur', '')");
        c.Sql(
            "INSERT INTO Produit VALUES (0, 56, 3, 'Manche en frêne', 'K-56', 12.345, 20.5, 18.999,"
            " 'Marteau', '2020-05-04 10:11:12.000', 'MAR500', ?, 12, 4)",
            {lien});
        c.Sql(
            "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle) VALUES (0, 9, 3, 'Autre'),"
            " (1, 80, 3, 'Externe plus haut')");
        c.Sql(
            "INSERT INTO ProduitCarac VALUES (0, 56, 2, 'Rouge'), (0, 56, 1, '330'), (0, 56, 7, 'Orpheline'),"
            " (1, 56, 1, 'Autre origine')");
        c.Sql(
            "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew, Libelle)"
            " VALUES (0, 56, 3, 0, 12, 'Ajout')");
    }
    static QString Texte(TCatalogueTest& c, const QString& sql)
    {
        TInstructionSql q = Interroger(c.Dm().Connexion(), sql);
        return q.Etape() ? (q.EstNul(0) ? QStringLiteral("<null>") : q.Texte(0)) : QString();
    }

private slots:
    void initTestCase()
    {
        LocaleFrancaise();
        SetDossierAdministration(m_admin.path());
        VerifierDossiersImages();
    }
    void init()
    {
        QDir images(CheminImagesInterne());
        for (const QString& f : images.entryList(QDir::Files))
            images.remove(f);
    }

    void ChampsDeLaCopie()
    {
        TCatalogueTest c;
        Source(c, "photo.jpg");
        EcrireFichier(Image("photo.jpg"), "JPEG source");
        QCOMPARE(DupliquerProduit(c.Dm(), 0, 56, 3), 57);

        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit WHERE Externe = 0 AND IdProduit = 57 AND IdProduitType = 3"),
                 1);
        const QString ligne = "SELECT %1 FROM Produit WHERE IdProduit = 57";
        QCOMPARE(Texte(c, ligne.arg("Libelle")), QStringLiteral("Marteau"));
        QCOMPARE(Texte(c, ligne.arg("Description")), QStringLiteral("Manche en frêne"));
        QCOMPARE(Texte(c, ligne.arg("CodeExport")), QStringLiteral("K-56"));
        QCOMPARE(Texte(c, ligne.arg("Reference")), QStringLiteral("MAR500"));
        QCOMPARE(Texte(c, ligne.arg("Lien")), QStringLiteral("57.jpg"));
        QCOMPARE(Texte(c, ligne.arg("DateCreation")), DateHeureBase(QDateTime(QDate::currentDate(), QTime(0, 0))));
        QCOMPARE(Texte(c, ligne.arg("PrixAchatHT")).toDouble(), 12.35);
        QCOMPARE(Texte(c, ligne.arg("PrixTarifHT")).toDouble(), 20.5);
        QCOMPARE(Texte(c, ligne.arg("PrixVenteHT")).toDouble(), 19.0);
        QCOMPARE(Texte(c, ligne.arg("Stock")), QStringLiteral("<null>"));
        QCOMPARE(Texte(c, ligne.arg("StockMini")), QStringLiteral("<null>"));

        // Values with a definition, internal only; the orphan and the
        // movements stay behind.
        TInstructionSql q = Interroger(c.Dm().Connexion(),
                                       "SELECT ExterneProduitCaracV, IdCarac, Valeur FROM ProduitCarac"
                                       " WHERE IdProduit = 57 ORDER BY rowid");
        QStringList valeurs;
        while (q.Etape())
            valeurs << QStringLiteral("%1/%2/%3")
                           .arg(q.Valeur(0).toInt())
                           .arg(q.Valeur(1).toInt())
                           .arg(q.Valeur(2).toString());
        QCOMPARE(valeurs, (QStringList{"0/1/330", "0/2/Rouge"}));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM \"Transaction\" WHERE IdProduit = 57"), 0);

        QCOMPARE(LireFichier(Image("57.jpg")), QStringLiteral("JPEG source"));
        QCOMPARE(LireFichier(Image("photo.jpg")), QStringLiteral("JPEG source"));
    }

    void FichierImage_data()
    {
        QTest::addColumn<QString>("lien");
        QTest::addColumn<QString>("lienCopie");
        QTest::addColumn<bool>("copie");
        QTest::newRow("deux points") << "a.b.png"
                                     << "57.b.png" << true;
        QTest::newRow("sans point") << "photo"
                                    << "" << false;
        QTest::newRow("vide") << ""
                              << "" << false;
        QTest::newRow("hors du dossier") << "../secret.txt"
                                         << "57../secret.txt" << false;
    }
    void FichierImage()
    {
        QFETCH(QString, lien);
        QFETCH(QString, lienCopie);
        QFETCH(bool, copie);
        TCatalogueTest c;
        Source(c, lien);
        if (!lien.isEmpty())
            EcrireFichier(CheminImagesInterne() + lien, "image");
        const QStringList avant = QDir(CheminImagesInterne()).entryList(QDir::Files);
        QCOMPARE(DupliquerProduit(c.Dm(), 0, 56, 3), 57);
        QCOMPARE(Texte(c, "SELECT Lien FROM Produit WHERE IdProduit = 57"), lienCopie);
        const QStringList apres = QDir(CheminImagesInterne()).entryList(QDir::Files);
        QCOMPARE(apres.size(), avant.size() + (copie ? 1 : 0));
        if (copie)
            QCOMPARE(LireFichier(Image(lienCopie)), QStringLiteral("image"));
        QFile::remove(m_admin.filePath("Images/secret.txt"));
    }

    void FichierExistantGarde()
    {
        TCatalogueTest c;
        Source(c, "photo.jpg");
        EcrireFichier(Image("photo.jpg"), "nouvelle");
        EcrireFichier(Image("57.jpg"), "ancienne");
        QCOMPARE(DupliquerProduit(c.Dm(), 0, 56, 3), 57);
        QCOMPARE(LireFichier(Image("57.jpg")), QStringLiteral("ancienne"));
        QCOMPARE(Texte(c, "SELECT Lien FROM Produit WHERE IdProduit = 57"), QStringLiteral("57.jpg"));
    }

    void SourceIntrouvable()
    {
        TCatalogueTest c;
        Source(c, "photo.jpg");
        QCOMPARE(DupliquerProduit(c.Dm(), 0, 56, 4), 0);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit"), 3);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitCarac"), 4);
    }

    void EchecRienNEstEcrit()
    {
        TCatalogueTest c;
        Source(c, "photo.jpg");
        EcrireFichier(Image("photo.jpg"), "image");
        c.Refuser("INSERT", "ProduitCarac", "NEW.IdCarac = 2");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, DupliquerProduit(c.Dm(), 0, 56, 3));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit WHERE IdProduit = 57"), 0);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitCarac WHERE IdProduit = 57"), 0);
        QVERIFY(!QFile::exists(Image("57.jpg")));
    }
};

// On a catalogue file, then on the server.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return ExecuterSurLesDeuxMoteurs<TestDuplication>(argc, argv);
}
#include "test_duplication.moc"
