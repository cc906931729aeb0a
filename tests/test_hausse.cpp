// Category price increase: the three modes and their rounding, descendants
// raised once, other origins left alone, one transaction, and the dialog.
// The suite runs on a catalogue file, then on the server, where the
// rounding is the server's own SQL function: both must give the same prices.

#include "core/base/prompts.h"
#include "core/catalogue/hausse.h"
#include "core/store/acces.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "gui/admin/fichehaussecategorie.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

class TestHausse : public QObject {
    Q_OBJECT

    static void Categorie(TCatalogueTest& c, int ext, int id, int parent)
    {
        c.Sql("INSERT INTO ProduitType VALUES (?, ?, ?, ?)", {ext, id, parent, QStringLiteral("C%1").arg(id)});
    }
    static void Produit(TCatalogueTest& c, int ext, int id, int type, double achat, double tarif, double vente)
    {
        c.Sql(
            "INSERT INTO Produit (Externe, IdProduit, IdProduitType, PrixAchatHT, PrixTarifHT, PrixVenteHT)"
            " VALUES (?, ?, ?, ?, ?, ?)",
            {ext, id, type, achat, tarif, vente});
    }
    static QVector<double> Prix(TCatalogueTest& c, int ext, int id)
    {
        TInstructionSql q = Interroger(c.Dm().Connexion(),
                                       "SELECT PrixAchatHT, PrixTarifHT, PrixVenteHT FROM Produit"
                                       " WHERE Externe = ? AND IdProduit = ?",
                                       {ext, id});
        if (!q.Etape())
            return {};
        return {q.Reel(0), q.Reel(1), q.Reel(2)};
    }
    static bool Proche(double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b)); }

    // 1 ─ 2 ─ 4 (grandchild), 1 ─ 3; 5 elsewhere; origin 1 has its own 1 and a
    // child 6 of "1"; origin-1 product 1 sits in category number 1 too.
    static void Arbre(TCatalogueTest& c)
    {
        Categorie(c, 0, 1, 0);
        Categorie(c, 0, 2, 1);
        Categorie(c, 0, 3, 1);
        Categorie(c, 0, 4, 2);
        Categorie(c, 0, 5, 0);
        Categorie(c, 1, 1, 0);
        Categorie(c, 1, 6, 1);
        Produit(c, 0, 10, 1, 10, 10, 10);
        Produit(c, 0, 20, 2, 10, 10, 10);
        Produit(c, 0, 30, 3, 10, 10, 10);
        Produit(c, 0, 40, 4, 10, 10, 10);
        Produit(c, 0, 50, 5, 10, 10, 10);
        Produit(c, 1, 10, 1, 10, 10, 10);
        Produit(c, 1, 60, 6, 10, 10, 10);
        Produit(c, 0, 60, 6, 10, 10, 10);  // internal product in a category number only origin 1 has
    }

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void modes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("valeur");
        QTest::addColumn<double>("prix");
        QTest::addColumn<double>("attendu");
        QTest::newRow("euros") << int(HausseEuros) << 1.5 << 10.0 << 11.5;
        QTest::newRow("coefficient, non arrondi ensuite") << int(HausseCoefficient) << 1.1 << 19.99 << 21.989;
        QTest::newRow("pourcentage 110") << int(HaussePourcentage) << 110.0 << 20.0 << 22.0;
        QTest::newRow("pourcentage 10") << int(HaussePourcentage) << 10.0 << 20.0 << 2.0;
        QTest::newRow("0 euro arrondit au centime") << int(HausseEuros) << 0.0 << 12.346 << 12.35;
        QTest::newRow("valeur arrondie au centime") << int(HausseEuros) << 1.004 << 10.0 << 11.0;
        QTest::newRow("mode inconnu: arrondi seul") << 7 << 5.0 << 3.141 << 3.14;
        QTest::newRow("prix absent lu comme 0") << int(HausseEuros) << 2.0 << qQNaN() << 2.0;
        // Half a cent, exactly representable: ties go to the even cent.
        QTest::newRow("demi-centime vers le bas") << int(HausseEuros) << 0.0 << 0.125 << 0.12;
        QTest::newRow("demi-centime vers le haut") << int(HausseEuros) << 0.0 << 0.375 << 0.38;
        QTest::newRow("négatif, demi-centime") << int(HausseEuros) << 0.0 << -0.125 << -0.12;
        QTest::newRow("négatif, baisse en euros") << int(HausseEuros) << -5.0 << 2.004 << -3.0;
        QTest::newRow("grand montant, demi-centime") << int(HausseEuros) << 0.0 << 1e12 + 0.375 << 1e12 + 0.38;
        QTest::newRow("grand montant, coefficient") << int(HausseCoefficient) << 3.0 << 123456789.125 << 370370367.36;
        QTest::newRow("grand montant, pourcentage") << int(HaussePourcentage) << 200.0 << 5e9 + 0.625 << 1e10 + 1.24;
    }
    void modes()
    {
        QFETCH(int, mode);
        QFETCH(double, valeur);
        QFETCH(double, prix);
        QFETCH(double, attendu);
        TCatalogueTest c;
        Categorie(c, 0, 1, 0);
        Produit(c, 0, 1, 1, prix, prix, prix);
        if (std::isnan(prix))
            c.Sql("UPDATE Produit SET PrixAchatHT = NULL, PrixTarifHT = NULL, PrixVenteHT = NULL");
        QCOMPARE(HausserCategorie(c.Dm(), 1, mode, valeur), 1);
        for (double p : Prix(c, 0, 1))
            QVERIFY2(Proche(p, attendu), qPrintable(QString::number(p, 'g', 17)));
    }

    void DescendantsUneFoisEtOrigineInterneSeulement()
    {
        TCatalogueTest c;
        Arbre(c);
        QCOMPARE(CollecterDescendants(c.Dm(), 1), (QVector<int>{2, 3, 4}));
        QCOMPARE(CollecterDescendants(c.Dm(), 4), QVector<int>{});

        QCOMPARE(AppliquerHausse(c.Dm(), 1, HausseEuros, 1, true), 4);
        for (int id : {10, 20, 30, 40})
            QVERIFY(Proche(Prix(c, 0, id)[0], 11));  // the grandchild 40 once, not twice
        QVERIFY(Proche(Prix(c, 0, 50)[0], 10));
        QVERIFY(Proche(Prix(c, 1, 10)[0], 10));  // same category number, other origin
        QVERIFY(Proche(Prix(c, 1, 60)[0], 10));
        QVERIFY(Proche(Prix(c, 0, 60)[0], 10));  // child of origin 1's category 1 only
        // A category without products or descendants changes nothing.
        QCOMPARE(AppliquerHausse(c.Dm(), 99, HausseEuros, 5, true), 0);
    }

    void BoucleDeParentsSansDoubleHausse()
    {
        TCatalogueTest c;
        Categorie(c, 0, 1, 2);
        Categorie(c, 0, 2, 1);
        Categorie(c, 0, 3, 3);  // its own parent
        Produit(c, 0, 1, 1, 10, 10, 10);
        Produit(c, 0, 2, 2, 10, 10, 10);
        Produit(c, 0, 3, 3, 10, 10, 10);
        QCOMPARE(CollecterDescendants(c.Dm(), 1), QVector<int>{2});
        QCOMPARE(CollecterDescendants(c.Dm(), 3), QVector<int>{});
        AppliquerHausse(c.Dm(), 1, HausseEuros, 1, true);
        AppliquerHausse(c.Dm(), 3, HausseEuros, 1, true);
        for (int id : {1, 2, 3})
            QVERIFY(Proche(Prix(c, 0, id)[1], 11));
    }

    void EchecEnCoursRienNeChange()
    {
        TCatalogueTest c;
        Arbre(c);
        c.Refuser("UPDATE", "Produit", "NEW.IdProduitType = 4");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, AppliquerHausse(c.Dm(), 1, HausseEuros, 1, true));
        for (int id : {10, 20, 30, 40})
            QVERIFY(Proche(Prix(c, 0, id)[0], 10));
        // The connection is usable again afterwards.
        c.Accepter("Produit");
        QCOMPARE(AppliquerHausse(c.Dm(), 1, HausseEuros, 1, true), 4);
    }

    // Stopped while it runs ("Annuler"), the increase changes no price and
    // leaves the connection ready; the watch ends with the increase.
    void ArretEnCoursRienNeChange()
    {
        if (g_serveur)
            QSKIP("Le serveur exécute chaque instruction d'un bloc : rien à surveiller pas à pas.");
        TCatalogueTest c;
        Arbre(c);
        {
            TTransaction t(c.Dm());
            for (int id = 1000; id < 6000; ++id)
                Produit(c, 0, id, 2, 10, 10, 10);
            t.Commit();
        }
        int appels = 0;
        QCOMPARE(AppliquerHausse(c.Dm(), 1, HausseEuros, 1, true, [&]() { return ++appels < 2; }), HausseArretee);
        QCOMPARE(appels, 2);
        for (int id : {10, 20, 1000, 5999})
            QVERIFY(Proche(Prix(c, 0, id)[0], 10));

        appels = 0;
        QCOMPARE(AppliquerHausse(c.Dm(), 1, HausseEuros, 1, true, [&]() { return ++appels > 0; }), 5004);
        QVERIFY(appels > 0);
        QVERIFY(Proche(Prix(c, 0, 5999)[2], 11));
        // Nobody watches the next statements any more.
        c.Sql("UPDATE Produit SET Stock = 1");
        QVERIFY(appels < 1000);
        const int avant = appels;
        c.Sql("UPDATE Produit SET Stock = 2");
        QCOMPARE(appels, avant);
    }

    void Fiche()
    {
        TCatalogueTest c;
        Arbre(c);
        TPromptsScriptes prompts;
        TFicheHausseCategorie f(c.Dm());
        QCOMPARE(f.GetTitre(), QStringLiteral("Hausse de la catégorie :"));
        f.SetIdProduitType(1);
        f.SetLibelleCategorie(QStringLiteral("Outillage"));
        f.show();
        QCOMPARE(f.windowTitle(), QStringLiteral("Hausse de la catégorie : Outillage"));

        auto* valeur = f.findChild<QLineEdit*>("jveHausseValeur");
        auto* ok = f.findChild<QPushButton*>("btnOk");
        QVERIFY(valeur && ok && f.findChild<QPushButton*>("btnAnnuler"));
        QVERIFY(ok->isDefault());
        QVERIFY(f.findChild<QRadioButton*>("rgHausseType0")->isChecked());

        // Letters cannot be typed; an empty value is refused and changes
        // nothing; the dialog stays.
        QTest::keyClicks(valeur, "abc");
        QCOMPARE(valeur->text(), QString());
        ok->click();
        QCOMPARE(prompts.Messages().size(), 1);
        QVERIFY(f.isVisible());
        QVERIFY(Proche(Prix(c, 0, 10)[0], 10));

        valeur->setText(QStringLiteral("110"));
        f.findChild<QRadioButton*>("rgHausseType1")->setChecked(true);
        f.findChild<QCheckBox*>("cbHausseSurTypesProduitsFils")->setChecked(true);
        ok->click();
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QVERIFY(Proche(Prix(c, 0, 10)[0], 11));
        QVERIFY(Proche(Prix(c, 0, 40)[0], 11));

        TFicheHausseCategorie g(c.Dm());
        g.SetIdProduitType(1);
        g.findChild<QLineEdit*>("jveHausseValeur")->setText(QStringLiteral("1,50"));
        g.findChild<QPushButton*>("btnAnnuler")->click();
        QCOMPARE(g.result(), int(QDialog::Rejected));
        QVERIFY(Proche(Prix(c, 0, 10)[0], 11));

        // The numeric keypad's "." is taken as the decimal separator too.
        TFicheHausseCategorie h(c.Dm());
        h.SetIdProduitType(1);
        QTest::keyClicks(h.findChild<QLineEdit*>("jveHausseValeur"), "0.5");
        h.findChild<QPushButton*>("btnOk")->click();
        QVERIFY(Proche(Prix(c, 0, 10)[0], 11.5));
        QVERIFY(Proche(Prix(c, 0, 40)[0], 11));  // check box unset: the category alone
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return ExecuterSurLesDeuxMoteurs<TestHausse>(argc, argv);
}
#include "test_hausse.moc"
