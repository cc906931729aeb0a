// Keyboard use of the settings window and the browser, and columns whose
// titles stay readable.

#include "core/base/prompts.h"
#include "core/store/dmkestravel.h"
#include "gui/admin/ficheparametreproduit.h"
#include "gui/product/fichestockhistorique.h"
#include "gui/viewer/ficheproduitliste.h"
#include "tests/modale.h"
#include "tests/soutien.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

namespace {
void Remplir(TCatalogueTest& c)
{
    c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, 'Outillage'), (0, 2, 1, 'Marteaux')");
    c.Sql(
        "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference, PrixVenteHT,"
        " PrixTarifHT, PrixAchatHT, Stock, StockMini, Lien) VALUES"
        " (0, 1, 2, 'Marteau', 'M1', 10, 12, 5, 3, 1, ''), (0, 2, 2, 'Maillet', 'M2', 8, 9, 4, 0, 0, '')");
}

// Escape closes a dialog as its "Annuler" does.
void FermerParEchap(QWidget* fenetre)
{
    QTest::keyClick(fenetre, Qt::Key_Escape);
    QVERIFY(!fenetre->isVisible());
}

QAbstractItemView* Liste(QWidget* fenetre) { return fenetre->findChild<QAbstractItemView*>("lvProduits"); }

void ChoisirLigne(QAbstractItemView* liste, int ligne)
{
    liste->setFocus();
    liste->setCurrentIndex(liste->model()->index(ligne, 0));
    liste->selectionModel()->select(liste->currentIndex(),
                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// No column is narrower than what its title needs.
void VerifierTitres(QHeaderView* entete, int premiere)
{
    for (int c = premiere; c < entete->count(); ++c)
        QVERIFY2(entete->sectionSize(c) >= entete->sectionSizeHint(c),
                 qPrintable(entete->model()->headerData(c, Qt::Horizontal).toString()));
}
}  // namespace

class TestClavier : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LocaleFrancaise(); }
    // A tab order given before the controls share a window is ignored with
    // a warning only.
    void init() { QTest::failOnWarning(QRegularExpression("setTabOrder")); }

    void settingsWindowKeys()
    {
        TCatalogueTest c;
        Remplir(c);
        TFicheParametreProduit fiche(c.Dm());
        fiche.show();
        QApplication::setActiveWindow(&fiche);
        QVERIFY(QTest::qWaitForWindowActive(&fiche));
        auto* arbre = fiche.findChild<QTreeWidget*>("tvProduitType");
        arbre->setCurrentItem(arbre->findItems("Marteaux", Qt::MatchExactly | Qt::MatchRecursive).first());
        QAbstractItemView* liste = Liste(&fiche);
        QCOMPARE(liste->model()->rowCount(), 2);

        // Enter on a product opens its editor, whose default button is "Valider".
        ChoisirLigne(liste, 0);
        QString titre, defaut;
        TQuandModale<> editeur([&](QWidget* w) {
            titre = w->windowTitle();
            for (auto* b : w->findChildren<QPushButton*>())
                if (b->isDefault())
                    defaut = b->text();
            FermerParEchap(w);
        });
        QTest::keyClick(liste, Qt::Key_Return);
        ATTENDRE_MODALE(editeur);
        QCOMPARE(editeur.Classe(), QStringLiteral("TFicheProduitAddOrUpdate"));
        QCOMPARE(titre, QStringLiteral("Modifier un produit"));
        QCOMPARE(defaut, QStringLiteral("Valider"));

        // Delete asks the confirmation of "Supprimer"; Cancel keeps the product.
        TPromptsScriptes prompts;
        ChoisirLigne(Liste(&fiche), 1);
        QTest::keyClick(Liste(&fiche), Qt::Key_Delete);
        QCOMPARE(prompts.Textes(IPrompts::Genre::Confirmation),
                 QStringList{QStringLiteral("Vous voulez vraiment supprimer le produit?")});
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit"), 2);
        prompts.RepondreConfirmation(true);
        ChoisirLigne(Liste(&fiche), 1);
        QTest::keyClick(Liste(&fiche), Qt::Key_Delete);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit"), 1);

        // F2 on a category opens category management on it.
        QString libelle;
        TQuandModale<> gestion([&](QWidget* w) {
            const auto* tv = w->findChild<QTreeWidget*>("tvProduitType");
            libelle = tv->currentItem() ? tv->currentItem()->text(0) : QString();
            FermerParEchap(w);
        });
        QTest::keyClick(arbre, Qt::Key_F2);
        ATTENDRE_MODALE(gestion);
        QCOMPARE(gestion.Classe(), QStringLiteral("TFicheParametreProduitType"));
        QCOMPARE(libelle, QStringLiteral("Marteaux"));
        QCOMPARE(arbre->currentItem()->text(0), QStringLiteral("Marteaux"));

        // The Menu key opens the category's menu, "Hausse" enabled.
        auto* menu = fiche.findChild<QMenu*>("pmTypeProduit");
        TQuandModale<QMenu> categorie([&](QMenu* ouvert) {
            QCOMPARE(ouvert, menu);
            QVERIFY(fiche.findChild<QAction*>("miHausse")->isEnabled());
            menu->close();
        });
        QTest::keyClick(arbre, Qt::Key_Menu);
        ATTENDRE_MODALE(categorie);
        QVERIFY(!menu->isVisible());
    }

    void browserEnterOpensTheProduct()
    {
        TCatalogueTest c;
        Remplir(c);
        TFicheProduitListe liste(c.Dm());
        liste.show();
        QApplication::setActiveWindow(&liste);
        QVERIFY(QTest::qWaitForWindowActive(&liste));
        auto* arbre = liste.findChild<QTreeWidget*>("tvVisualisation");
        arbre->setCurrentItem(arbre->findItems("Marteaux", Qt::MatchExactly | Qt::MatchRecursive).first());
        ChoisirLigne(Liste(&liste), 0);
        TQuandModale<> vue(FermerParEchap);
        QTest::keyClick(Liste(&liste), Qt::Key_Enter);
        ATTENDRE_MODALE(vue);
        QCOMPARE(vue.Titre(), QStringLiteral("Détails du produit"));
        VerifierTitres(Liste(&liste)->findChild<QHeaderView*>(), 3);
    }

    void fixedColumnsShowTheirTitles()
    {
        TCatalogueTest c;
        // A large screen font is where the titles were cut.
        QFont police = QApplication::font();
        police.setPointSize(police.pointSize() + 4);
        QApplication::setFont(police);
        TFicheStockHistorique historique(c.Dm());
        VerifierTitres(historique.findChild<QTreeWidget*>("lvStock")->header(), 0);
        TFicheProduitListe liste(c.Dm());
        VerifierTitres(Liste(&liste)->findChild<QHeaderView*>(), 3);
        TFicheParametreProduit parametres(c.Dm());
        VerifierTitres(Liste(&parametres)->findChild<QHeaderView*>(), 4);
        QApplication::setFont(QFont());
    }
};

QTEST_MAIN(TestClavier)
#include "test_clavier.moc"
