// The stock indicator rule and its four pictures.
#include "gui/product/indicateurstock.h"
#include "tests/soutien.h"

#include <QApplication>
#include <QTest>

Q_DECLARE_METATYPE(TNiveauStock)

class TestIndicateurStock : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { LocaleFrancaise(); }

    void niveau_data()
    {
        QTest::addColumn<int>("stock");
        QTest::addColumn<int>("mini");
        QTest::addColumn<TNiveauStock>("attendu");
        QTest::newRow("seuil nul, stock 5") << 5 << 0 << TNiveauStock::Gris;
        QTest::newRow("seuil nul, stock nul") << 0 << 0 << TNiveauStock::Gris;
        QTest::newRow("seuil nul, stock négatif") << -4 << 0 << TNiveauStock::Gris;
        QTest::newRow("stock nul") << 0 << 3 << TNiveauStock::Rouge;
        QTest::newRow("égal au seuil") << 3 << 3 << TNiveauStock::Orange;
        QTest::newRow("sous le seuil") << 1 << 3 << TNiveauStock::Orange;
        QTest::newRow("stock négatif") << -2 << 3 << TNiveauStock::Orange;
        QTest::newRow("au-dessus du seuil") << 4 << 3 << TNiveauStock::Vert;
        QTest::newRow("seuil négatif") << 0 << -1 << TNiveauStock::Rouge;
        QTest::newRow("seuil négatif, stock positif") << 2 << -1 << TNiveauStock::Vert;
    }
    void niveau()
    {
        QFETCH(int, stock);
        QFETCH(int, mini);
        QFETCH(TNiveauStock, attendu);
        QCOMPARE(NiveauStock(stock, mini), attendu);
    }

    void images()
    {
        QSet<QString> chemins;
        for (TNiveauStock n : {TNiveauStock::Gris, TNiveauStock::Rouge, TNiveauStock::Orange, TNiveauStock::Vert}) {
            const QPixmap p = ImageIndicateurStock(n);
            QVERIFY2(!p.isNull(), qPrintable(CheminImageIndicateurStock(n)));
            QCOMPARE(p.size(), QSize(48, 48));
            chemins.insert(CheminImageIndicateurStock(n));
        }
        QCOMPARE(chemins.size(), 4);
    }
};

QTEST_MAIN(TestIndicateurStock)
#include "test_product_indicateur.moc"
