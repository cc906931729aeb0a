// The catalogue store: cursors, keyed helpers, identifiers, transactions,
// records, and the shared formats and paths.

#include "core/base/chemins.h"
#include "core/base/parametres.h"
#include "core/store/acces.h"
#include "core/store/catalogue.h"
#include "core/store/dates.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"
#include "core/store/records.h"
#include "core/store/schema.h"
#include "gui/common/arbrecategories.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"

#include <sqlite3.h>
#include <QDir>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

class TestStore : public QObject {
    Q_OBJECT

    static void Produit(TCatalogueTest& c, int ext, int id, int type, int stock = 0)
    {
        c.Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Stock) VALUES (?, ?, ?, ?, ?)",
              {ext, id, type, QStringLiteral("P%1-%2").arg(ext).arg(id), stock});
    }
    static QList<int> Parcourir(TCurseur& t, const QString& champ)
    {
        QList<int> r;
        while (!t.Eof()) {
            r << t.AsInteger(champ);
            t.Next();
        }
        return r;
    }

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void recordsStartEmpty()
    {
        if (g_serveur)
            QSKIP("sans catalogue");
        TProduit p;
        QCOMPARE(p.GetExterne(), 0);
        QCOMPARE(p.GetIdProduit(), 0);
        QCOMPARE(p.GetPrixVenteHT(), 0.0f);
        QCOMPARE(p.GetStock(), 0);
        QVERIFY(p.GetLibelle().isEmpty() && p.GetLien().isEmpty() && p.GetDateCreation().isEmpty());
        QVERIFY(!p.GetCaracValeurs());
        TCaracValeur v;
        QCOMPARE(v.GetIdProduitCarac(), 0);
        QVERIFY(v.GetValeur().isEmpty() && v.GetUnite().isEmpty());
        const TObjectNoeud n(7, 2);
        QCOMPARE(n.GetIdProduitType(), 7);
        QCOMPARE(n.GetExterne(), 2);
    }

    void walkFollowsKeyOrderAcrossPages()
    {
        TCatalogueTest c;
        c.Sql("BEGIN");
        for (int i = 700; i >= 1; --i)
            Produit(c, i % 3, i, 1);
        // Every other row without a description: a page must not show a
        // value left by the row read before it in the same place.
        c.Sql("UPDATE Produit SET Description = 'd' || IdProduit WHERE IdProduit % 2 = 0");
        c.Sql("COMMIT");
        TCurseur& t = c.Dm().tblProduit;
        t.First();
        QVERIFY(t.Bof());
        int n = 0, ext = -1, id = -1;
        while (!t.Eof()) {
            const int e = t.AsInteger("Externe"), i = t.AsInteger("IdProduit");
            QVERIFY(e > ext || (e == ext && i > id));
            QCOMPARE(t.AsString("Libelle"), QStringLiteral("P%1-%2").arg(e).arg(i));
            QCOMPARE(t.Field("Description"), i % 2 ? QVariant() : QVariant(QStringLiteral("d%1").arg(i)));
            ext = e;
            id = i;
            ++n;
            t.Next();
        }
        QCOMPARE(n, 700);
        QCOMPARE(t.RecordCount(), 700);
        // Last and Prior walk back in the same order.
        t.Last();
        QCOMPARE(t.AsInteger("Externe"), 2);
        QCOMPARE(t.AsInteger("IdProduit"), 698);
        t.Prior();
        QCOMPARE(t.AsInteger("IdProduit"), 695);
        t.First();
        t.Prior();
        QVERIFY(t.Bof());
        QCOMPARE(t.AsInteger("IdProduit"), 3);
    }

    void walkSeesRowsWrittenBetweenSteps()
    {
        TCatalogueTest c;
        for (int i = 1; i <= 5; ++i)
            Produit(c, 0, i * 10, 1);
        TdmKestravel& dm = c.Dm();
        TCurseur& t = dm.tblProduit;
        t.First();
        t.Next();  // on 20
        c.Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType) VALUES (0, 25, 1)");
        c.Sql("DELETE FROM Produit WHERE IdProduit = 30");
        QList<int> vus;
        while (!t.Eof()) {
            vus << t.AsInteger("IdProduit");
            t.Next();
        }
        QCOMPARE(vus, (QList<int>{20, 25, 40, 50}));
    }

    void postAndDeleteKeepAPosition()
    {
        TCatalogueTest c;
        for (int i = 1; i <= 3; ++i)
            Produit(c, 0, i, 1, 10);
        TCurseur& t = c.Dm().tblProduit;
        // Insert: the cursor stays on the posted row.
        t.Insert();
        t.SetField("Externe", 0);
        t.SetField("IdProduit", 9);
        t.SetField("IdProduitType", 4);
        t.SetField("Libelle", "Neuf");
        t.Post();
        QCOMPARE(t.AsInteger("IdProduit"), 9);
        QCOMPARE(t.AsString("Libelle"), QString("Neuf"));
        // Edit of a key field: still on that row, under its new key.
        QVERIFY(TrouverCle(t, {0, 2, 1}));
        t.Edit();
        t.SetField("IdProduitType", 7);
        QCOMPARE(t.AsInteger("IdProduitType"), 7);  // the edit buffer is read back
        t.Post();
        QCOMPARE(t.AsInteger("IdProduit"), 2);
        QCOMPARE(t.AsInteger("IdProduitType"), 7);
        t.Edit();
        t.SetField("Stock", 99);
        t.Cancel();
        QCOMPARE(t.AsInteger("Stock"), 10);
        // Delete moves to the next row; deleting the last one reaches the end.
        QVERIFY(TrouverCle(t, {0, 2}));
        t.Delete();
        QCOMPARE(t.AsInteger("IdProduit"), 3);
        t.Last();
        t.Delete();
        QVERIFY(t.Eof());
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit"), 2);
        // Reading an unknown field is an error, not an empty value.
        t.First();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.Field("Inconnu"));
    }

    void rangesOnEveryOrdering()
    {
        TCatalogueTest c;
        TdmKestravel& dm = c.Dm();
        for (int carac : {3, 1, 2})
            c.Sql("INSERT INTO ProduitCarac VALUES (0, 12, ?, ?)", {carac, QString::number(carac)});
        c.Sql("INSERT INTO ProduitCarac VALUES (1, 12, 1, 'autre origine')");
        c.Sql("INSERT INTO ProduitCarac VALUES (0, 13, 1, 'autre produit')");
        dm.tblProduitCaracIndexTriProduit.Open();
        QVERIFY(AppliquerPlage(dm.tblProduitCaracIndexTriProduit, {0, 12}));
        QCOMPARE(Parcourir(dm.tblProduitCaracIndexTriProduit, "IdCarac"), (QList<int>{1, 2, 3}));
        QCOMPARE(dm.tblProduitCaracIndexTriProduit.RecordCount(), 3);
        QVERIFY(!AppliquerPlage(dm.tblProduitCaracIndexTriProduit, {0, 14}));
        QVERIFY(dm.tblProduitCaracIndexTriProduit.Eof());

        dm.tblProduitCaracIndexTriCarac.Open();
        QVERIFY(AppliquerPlage(dm.tblProduitCaracIndexTriCarac, {0, 1}));
        QCOMPARE(Parcourir(dm.tblProduitCaracIndexTriCarac, "IdProduit"), (QList<int>{12, 13}));

        // Deleting until the range is empty leaves the other rows alone.
        AppliquerPlage(dm.tblProduitCaracIndexTriProduit, {0, 12});
        while (!dm.tblProduitCaracIndexTriProduit.Eof())
            dm.tblProduitCaracIndexTriProduit.Delete();
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitCarac"), 2);

        AjouterMouvementStock(dm.Connexion(), 0, 12, 3, 5, 0, LibellePassageCommande);
        AjouterMouvementStock(dm.Connexion(), 0, 12, QVariant(), 0, 4, LibelleCommandeAnnulee);
        AjouterMouvementStock(dm.Connexion(), 0, 11, 3, 1, 2, LibelleAjout);
        QVERIFY(AppliquerPlage(dm.tblTransaction, {0, 12}));
        QCOMPARE(Parcourir(dm.tblTransaction, "QuantiteNew"), (QList<int>{0, 4}));
        QVERIFY(TrouverCle(dm.tblTransaction, {0, 12}));
        QVERIFY(dm.tblTransaction.Field("IdProduitType").isValid());
        QVERIFY(!TrouverCle(dm.tblTransaction, {0, 11}));  // outside the range
        dm.tblTransaction.CancelRange();
        QVERIFY(TrouverCle(dm.tblTransaction, {0, 11}));
    }

    void trailingOpenKeyCoversWholeDomain()
    {
        TCatalogueTest c;
        Produit(c, 0, 40000, 1);
        Produit(c, 0, 5, 70000);
        TCurseur& t = c.Dm().tblProduit;
        QVERIFY(AppliquerPlage(t, {0}));
        QCOMPARE(Parcourir(t, "IdProduit"), (QList<int>{5, 40000}));
        QVERIFY(AppliquerPlage(t, {0, 5}));
        QCOMPARE(t.AsInteger("IdProduitType"), 70000);
    }

    void exactKeyPerOrigin()
    {
        TCatalogueTest c;
        Produit(c, 0, 12, 3);
        Produit(c, 1, 12, 4);
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (0, 5, 'Interne', '')");
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (1, 5, 'Externe', '')");
        TdmKestravel& dm = c.Dm();
        QVERIFY(TrouverCle(dm.tblProduit, {0, 12, 3}));
        QVERIFY(!TrouverCle(dm.tblProduit, {0, 12, 4}));
        QCOMPARE(dm.tblProduit.AsInteger("Externe"), 0);  // stays where it was
        QVERIFY(TrouverCle(dm.tblProduitTypeCarac, {1, 5}));
        QCOMPARE(dm.tblProduitTypeCarac.AsString("Libelle"), QString("Externe"));
        // A text value is converted to the key field's integer type.
        QVERIFY(TrouverCle(dm.tblProduit, {QString("1"), QString("12"), QString("4")}));
        // Inside a range only: the caller cancels it first.
        AppliquerPlage(dm.tblProduit, {1});
        QVERIFY(!TrouverCle(dm.tblProduit, {0, 12, 3}));
        dm.tblProduit.CancelRange();
        QVERIFY(TrouverCle(dm.tblProduit, {0, 12, 3}));
    }

    void identifierAllocation()
    {
        TCatalogueTest c;
        TdmKestravel& dm = c.Dm();
        QCOMPARE(ProchainIdProduit(dm), 1);
        QCOMPARE(ProchainIdProduitType(dm), 1);
        QCOMPARE(ProchainIdProduitCarac(dm), 1);
        Produit(c, 1, 40, 1);
        Produit(c, 2, 3, 1);
        QCOMPARE(ProchainIdProduit(dm), 1);
        for (int id : {1, 2, 7})
            Produit(c, 0, id, 1);
        QCOMPARE(ProchainIdProduit(dm), 8);
        c.Sql("DELETE FROM Produit WHERE Externe = 0 AND IdProduit = 7");
        QCOMPARE(ProchainIdProduit(dm), 3);  // a deleted last number is free again
        c.Sql("INSERT INTO ProduitType VALUES (1, 9, 0, 'x'), (0, 4, 0, 'y')");
        QCOMPARE(ProchainIdProduitType(dm), 5);
    }

    void transactionsAreAllOrNothing()
    {
        TCatalogueTest c;
        TdmKestravel& dm = c.Dm();
        try {
            TTransaction tr(dm);
            Produit(c, 0, 1, 1);
            {
                TTransaction imbriquee(dm);  // joins the open one
                Produit(c, 0, 2, 1);
                imbriquee.Commit();
            }
            throw EKestravel("échec");
        } catch (const EKestravel&) {
        }
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit"), 0);
        {
            TTransaction tr(dm);
            Produit(c, 0, 1, 1);
            tr.Commit();
        }
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit"), 1);
    }

    void twoConnectionsShareOneFile()
    {
        TCatalogueTest c;
        Produit(c, 0, 1, 1, 5);
        const auto deuxieme = c.AutreConnexion();
        TdmKestravel& autre = *deuxieme;
        if (!g_serveur)
            QCOMPARE(autre.Connexion().Valeur("PRAGMA journal_mode").toString(), QString("wal"));
        {
            TTransaction tr(c.Dm());
            c.Sql("UPDATE Produit SET Stock = 2");
            // A reader is not blocked and sees the committed state.
            QVERIFY(TrouverCle(autre.tblProduit, {0, 1, 1}));
            QCOMPARE(autre.tblProduit.AsInteger("Stock"), 5);
            tr.Commit();
        }
        QVERIFY(TrouverCle(autre.tblProduit, {0, 1, 1}));
        QCOMPARE(autre.tblProduit.AsInteger("Stock"), 2);
    }

    void openingNeverCreatesTheFile()
    {
        if (g_serveur)
            QSKIP("propre au fichier");
        QTemporaryDir d;
        const QString chemin = d.filePath("Kestravel.abs");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, TdmKestravel dm(chemin));
        QVERIFY(!QFile::exists(chemin));
    }

    void schemaVersion()
    {
        if (g_serveur)
            QSKIP("propre au fichier");
        // A catalogue written before the version was kept is brought up to
        // date on opening; one written by a later module is refused and left
        // exactly as it was.
        QTemporaryDir d;
        const QString chemin = d.filePath("Kestravel.abs");
        CreerCatalogueVide(chemin);
        const auto brut = [&](const QString& sql) {
            sqlite3* b = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(chemin).constData(), &b), SQLITE_OK);
            QCOMPARE(sqlite3_exec(b, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(b);
        };
        const auto entier = [](TdmKestravel& dm, const QString& sql) {
            TInstructionSql q = Interroger(dm.Connexion(), sql);
            return q.Etape() ? int(q.Entier(0)) : -1;
        };
        brut("DROP INDEX ProduitParCategorie; PRAGMA user_version = 0");
        {
            TdmKestravel dm(chemin);
            QCOMPARE(entier(dm, "PRAGMA user_version"), VersionSchema);
            QCOMPARE(entier(dm, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'ProduitParCategorie'"), 1);
        }

        brut(QStringLiteral("PRAGMA user_version = %1").arg(VersionSchema + 1));
        QFile f(chemin);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray avant = f.readAll();
        f.close();
        try {
            TdmKestravel dm(chemin);
            QFAIL("a newer catalogue was opened");
        } catch (const EDatabaseError& e) {
            QVERIFY2(e.Message().contains(QStringLiteral("version %1 de la base").arg(VersionSchema + 1))
                         && e.Message().contains(QStringLiteral("connaît la version %1").arg(VersionSchema)),
                     qPrintable(e.Message()));
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), avant);
    }

    void sharedReads()
    {
        TCatalogueTest c;
        c.Sql(
            "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, PrixVenteHT, DateCreation, Stock)"
            " VALUES (0, 4, 2, 'Vis', 12.345, '2024-03-18 10:11:12.000', 3)");
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (0, 1, 'Longueur', 'mm'), (0, 2, 'Couleur', '')");
        c.Sql(
            "INSERT INTO ProduitCarac VALUES (0, 4, 2, 'Rouge'), (0, 4, 1, '40'), (0, 4, 9, 'orpheline'),"
            " (1, 4, 1, 'autre origine')");
        const auto p = LireProduit(c.Dm(), 0, 4, 2);
        QVERIFY(p.has_value());
        QCOMPARE(p->GetDateCreation(), QString("18/03/2024"));
        QCOMPARE(p->GetPrixVenteHT(), 12.345);
        QVERIFY(!LireProduit(c.Dm(), 0, 4, 3));
        const auto valeurs = ChargerCaracValeurs(c.Dm(), *p);
        QCOMPARE(valeurs->size(), 2);  // the orphan value has no definition
        QCOMPARE(valeurs->at(0)->GetLibelle(), QString("Longueur"));
        QCOMPARE(valeurs->at(0)->GetUnite(), QString("mm"));
        QCOMPARE(valeurs->at(1)->GetValeur(), QString("Rouge"));
    }

    void amountsKeepTheirCents()
    {
        // A product read from the catalogue shows the shared formatter's
        // digits: around half a cent, and above 2^17 where single precision
        // has no cents left.
        TCatalogueTest c;
        const QList<double> valeurs{0.145, 2.675, 1.005, 131072.01, 1234567.89, 99999999.99, 0.005};
        int id = 0;
        for (double v : valeurs)
            c.Sql(
                "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, PrixAchatHT, PrixTarifHT,"
                " PrixVenteHT, DateCreation) VALUES (0, ?, 1, 'P', ?, ?, ?, '2024-03-18 00:00:00.000')",
                {++id, v, v, v});
        QCOMPARE(Montant(0.145), QString("0,15"));
        QCOMPARE(Montant(1234567.89), QString("1234567,89"));
        for (int i = 0; i < valeurs.size(); ++i) {
            const auto p = LireProduit(c.Dm(), 0, i + 1, 1);
            QCOMPARE(Montant(p->GetPrixAchatHT()) + Montant(p->GetPrixTarifHT()) + Montant(p->GetPrixVenteHT()),
                     Montant(valeurs[i]).repeated(3));
        }
    }

    void amountsAndDates()
    {
        if (g_serveur)
            QSKIP("sans catalogue");
        QCOMPARE(Montant(12.345), QString("12,35"));
        QCOMPARE(Montant(12.345f), QString("12,35"));
        QCOMPARE(Montant(19.999), QString("20,00"));
        QCOMPARE(Montant(0), QString("0,00"));
        QCOMPARE(Montant(0.005), QString("0,01"));
        QCOMPARE(Montant(-2.5), QString("-2,50"));
        QCOMPARE(Montant(-0.001), QString("0,00"));
        QCOMPARE(Montant(1234567.891), QString("1234567,89"));
        QCOMPARE(Montant(99.995), QString("100,00"));
        QCOMPARE(Montant(1e-7), QString("0,00"));
        QCOMPARE(ArrondiMontant(19.999), 20.0);
        QCOMPARE(LireMontant("12,5"), 12.5);
        bool ok = true;
        LireMontant("douze", &ok);
        QVERIFY(!ok);
        QVERIFY2(!QLocale().toString(1234.5).contains(' ') || Montant(1234.5) == "1234,50", "no group separator");
        {
            QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
            QCOMPARE(Montant(12.345), QString("12.35"));
            LocaleFrancaise();
        }
        const QDateTime d(QDate(2024, 4, 2), QTime(9, 5, 7, 30));
        QCOMPARE(DateHeureBase(d), QString("2024-04-02 09:05:07.030"));
        QCOMPARE(LireDateHeureBase("2024-04-02 09:05:07.030"), d);
        QCOMPARE(LireDateHeureBase("2024-04-02"), QDateTime(QDate(2024, 4, 2), QTime(0, 0)));
        QVERIFY(!LireDateHeureBase("02/04/2024").isValid());
        QCOMPARE(DateCourte(QDate(2024, 4, 2)), QString("02/04/2024"));
        QCOMPARE(LireDateCourte("02/04/2024"), QDate(2024, 4, 2));
        QCOMPARE(HeureLongue(QTime(9, 5, 7)), QString("09:05:07"));
        QCOMPARE(Majuscules("élève"), QString("ÉLÈVE"));
    }

    void imageFoldersAndLinks()
    {
        if (g_serveur)
            QSKIP("sans catalogue");
        SetDossierAdministration("/suite/Administration/");
        const QString avec = CheminImagesInterne();
        SetDossierAdministration("/suite/Administration");
        QCOMPARE(CheminImagesInterne(), avec);
        QCOMPARE(avec, QString("/suite/Administration/Images/Interne/"));
        QCOMPARE(CheminImagesExterne(), QString("/suite/Administration/Images/Externe/"));
        QCOMPARE(CheminImagesStandard(), QString("/suite/Administration/Images/Standard/"));
        QVERIFY(CheminImagesOrigine(3).isEmpty());
        SetDossierAdministration("");
        QCOMPARE(DossierAdministration(), QString("/"));
        QCOMPARE(CheminImages(), QString("/Images/"));

        QVERIFY(LienSur("12.jpg"));
        for (const char* mauvais : {"", ".", "..", "../12.jpg", "a/b.jpg", "a\\b.jpg", "/etc/passwd", "C:\\x.jpg"})
            QVERIFY2(!LienSur(mauvais), mauvais);
        SetDossierAdministration("/suite/");
        QCOMPARE(FichierImage(1, "3.bmp"), QString("/suite/Images/Externe/3.bmp"));
        QVERIFY(FichierImage(0, "../../etc/passwd").isEmpty());
        QVERIFY(FichierImage(3, "3.bmp").isEmpty());
        QCOMPARE(TexteCheminImage(3, "3.bmp"), QString("3.bmp"));
        QCOMPARE(TexteCheminImage(0, ""), QString("/suite/Images/Interne/"));
    }

    void folderSetUp()
    {
        if (g_serveur)
            QSKIP("sans catalogue");
        QTemporaryDir d;
        SetDossierAdministration(d.path());
        VerifierDossiersImages();
        QVERIFY(QDir(d.filePath("Images/Standard")).exists());
        VerifierDossiersImages();  // a second run changes nothing
        // One level only: under a missing folder nothing is created, silently.
        SetDossierAdministration(d.filePath("absent/Administration"));
        VerifierDossiersImages();
        QVERIFY(!QDir(d.filePath("absent")).exists());
    }

    void settingsFile()
    {
        if (g_serveur)
            QSKIP("sans catalogue");
        QTemporaryDir d;
        const QString ini = d.filePath("suite.ini");
        EcrireFichier(ini, "[Autre]\r\nVersion=9\r\n[general]\r\n version = 1 \r\nADMINISTRATION=C:\\Suite\\Admin\r\n");
        const TParametres p(ini);
        QCOMPARE(p.Lire("General", "Version", "0"), QString("1"));
        QCOMPARE(p.Lire("General", "Administration", ""), QString("C:\\Suite\\Admin"));
        QCOMPARE(p.Lire("General", "Absente", "def"), QString("def"));
        const TParametres absent(d.filePath("absent.ini"));
        QCOMPARE(absent.Lire("General", "Version", "0"), QString("0"));
    }

    void categoryTreeRule()
    {
        if (g_serveur)
            QSKIP("sans catalogue");
        // 3 hangs under 5, read later: 3 and its child 4 are left out; 6 has a
        // missing parent. Other origins are never placed under this root.
        const QVector<TLigneCategorie> lignes = {
            {0, 1, 0, "Zinc"}, {0, 2, 1, "Acier"},  {0, 3, 5, "Orphelin"}, {0, 4, 3, "Petit-fils"},
            {0, 5, 0, "Bois"}, {0, 6, 99, "Perdu"}, {1, 7, 0, "Externe"},  {0, 8, 0, "Émail"},
            {0, 9, 1, "aber"},
        };
        QTreeWidget arbre;
        auto* racine = new TNoeudCategorie("Interne", TObjectNoeud(0, 0));
        TTableNoeuds table;
        PlacerCategories(racine, lignes, 0, table);
        MontrerArbre(&arbre, {racine});
        QCOMPARE(table.Entrees().size(), 8);
        QVERIFY(!table.NoeudDe(3, 0) && !table.NoeudDe(4, 0) && !table.NoeudDe(6, 0));
        QCOMPARE(racine->childCount(), 3);
        QCOMPARE(racine->child(0)->text(0), QString("Bois"));
        QCOMPARE(racine->child(1)->text(0), QString("Émail"));  // locale order, not code order
        QCOMPARE(racine->child(2)->text(0), QString("Zinc"));
        // Every level is sorted, not only the first, whatever the case.
        QCOMPARE(table.CategorieDe(racine->child(2)->child(0)), 9);
        QCOMPARE(table.CategorieDe(racine->child(2)->child(1)), 2);
        QCOMPARE(table.CategorieDe(racine), -1);
        QVERIFY(racine->child(2)->isExpanded());
        QCOMPARE(ObjetNoeud(racine)->GetIdProduitType(), 0);
    }
};

// The store on a catalogue file, then on the server.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return ExecuterSurLesDeuxMoteurs<TestStore>(argc, argv);
}
#include "test_store.moc"
