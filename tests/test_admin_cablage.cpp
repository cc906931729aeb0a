// The settings window opens the right window for each of its actions and
// refreshes its list after it.

#include "core/base/chemins.h"
#include "core/base/prompts.h"
#include "core/catalogue/veille.h"
#include "core/store/dmkestravel.h"
#include "gui/admin/ficheparametreproduit.h"
#include "tests/modale.h"
#include "tests/soutien.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

class TestAdminCablage : public QObject {
    Q_OBJECT

    QTemporaryDir m_admin;

    struct Fenetre {
        TCatalogueTest c;
        std::unique_ptr<TFicheParametreProduit> fiche;
        QTreeWidget* arbre = nullptr;
        QTreeView* liste = nullptr;
        Fenetre()
        {
            c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, 'Outillage'), (0, 2, 1, 'Marteaux')");
            c.Sql(
                "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference, PrixVenteHT,"
                " PrixTarifHT, PrixAchatHT, Stock, StockMini, Lien) VALUES"
                " (0, 1, 2, 'Marteau', 'M1', 10, 12, 5, 3, 1, '')");
            fiche = std::make_unique<TFicheParametreProduit>(c.Dm());
            arbre = fiche->findChild<QTreeWidget*>("tvProduitType");
            liste = fiche->findChild<QTreeView*>("lvProduits");
            arbre->setCurrentItem(arbre->findItems("Marteaux", Qt::MatchExactly | Qt::MatchRecursive).first());
            liste->setCurrentIndex(liste->model()->index(0, 0));
        }
        QStringList Colonne(int col) const
        {
            QStringList r;
            for (int i = 0; i < liste->model()->rowCount(); ++i)
                r << liste->model()->index(i, col).data().toString();
            return r;
        }
    };

    static void Cliquer(QWidget* w, const char* nom) { w->findChild<QPushButton*>(nom)->click(); }

    // Counts the statements that read a category's product list, as SQLite
    // runs them on the window's connection.
    struct TCompteurLectures : TCompteurInstructions {
        explicit TCompteurLectures(sqlite3* b)
            : TCompteurInstructions(b, "FROM Produit p WHERE Externe = ? AND IdProduitType = ?")
        {}
    };

private slots:
    void initTestCase()
    {
        LocaleFrancaise();
        SetDossierAdministration(m_admin.path());
        VerifierDossiersImages();
    }

    void addAndEditThroughTheEditor()
    {
        Fenetre f;
        TPromptsScriptes prompts;
        TQuandModale<> ajout([](QWidget* w) {
            w->findChild<QLineEdit*>("edtLibelle")->setText("Maillet");
            Cliquer(w, "btnOk");
        });
        Cliquer(f.fiche.get(), "btnAjouterProduit");
        ATTENDRE_MODALE(ajout);
        QCOMPARE(ajout.Classe(), QString("TFicheProduitAddOrUpdate"));
        QCOMPARE(f.Colonne(3), (QStringList{"Marteau", "Maillet"}));

        f.liste->setCurrentIndex(f.liste->model()->index(0, 0));
        TQuandModale<> modification([](QWidget* w) {
            QCOMPARE(w->findChild<QLineEdit*>("edtLibelle")->text(), QString("Marteau"));
            w->findChild<QLineEdit*>("edtLibelle")->setText("Marteau de coffreur");
            Cliquer(w, "btnOk");
        });
        f.fiche->lvProduitsDblClick();
        ATTENDRE_MODALE(modification);
        QCOMPARE(modification.Classe(), QString("TFicheProduitAddOrUpdate"));
        QCOMPARE(f.Colonne(3), (QStringList{"Marteau de coffreur", "Maillet"}));
        QCOMPARE(f.arbre->currentItem()->text(0), QString("Marteaux"));
    }

    void oneListReadPerAction()
    {
        Fenetre f;
        TPromptsScriptes prompts;
        {
            // Shown while nobody changes the catalogue: the change check on
            // the timer reads nothing.
            f.fiche->show();
            QVERIFY(AttendreIndexRecherche(f.fiche.get()));
            TCompteurInstructions lectures(f.c.Dm().Handle(), "Produit");
            QTest::qWait(2 * TVeilleCatalogue::Periode + 200);
            QCOMPARE(lectures.Nombre(), 0);
            f.fiche->hide();
        }
        {
            // Saving in the editor reloads the tree on the product's category,
            // which lists it: no second read.
            TCompteurLectures compteur(f.c.Dm().Handle());
            TQuandModale<> editeur([](QWidget* w) { Cliquer(w, "btnOk"); });
            f.fiche->lvProduitsDblClick();
            ATTENDRE_MODALE(editeur);
            QCOMPARE(compteur.Nombre(), 1);
            QCOMPARE(f.arbre->currentItem()->text(0), QString("Marteaux"));
        }
        {
            TCompteurLectures compteur(f.c.Dm().Handle());
            TQuandModale<> ajout([](QWidget* w) {
                w->findChild<QLineEdit*>("edtLibelle")->setText("Maillet");
                Cliquer(w, "btnOk");
            });
            Cliquer(f.fiche.get(), "btnAjouterProduit");
            ATTENDRE_MODALE(ajout);
            QCOMPARE(compteur.Nombre(), 1);
        }
        {
            TCompteurLectures compteur(f.c.Dm().Handle());
            TQuandModale<> gestion;
            Cliquer(f.fiche.get(), "btnAjouterProduitType");
            ATTENDRE_MODALE(gestion);
            QCOMPARE(compteur.Nombre(), 1);
        }
        {
            f.arbre->setCurrentItem(f.arbre->findItems("Marteaux", Qt::MatchExactly | Qt::MatchRecursive).first());
            f.liste->setCurrentIndex(f.liste->model()->index(0, 0));
            f.fiche->show();
            TCompteurLectures compteur(f.c.Dm().Handle());
            const QTreeWidgetItem* outillage =
                f.arbre->findItems("Outillage", Qt::MatchExactly | Qt::MatchRecursive).first();
            f.fiche->tvProduitTypeDragDrop(f.liste, f.arbre->visualItemRect(outillage).center());
            QCOMPARE(compteur.Nombre(), 1);
            QCOMPARE(f.Colonne(3), QStringList{"Maillet"});
        }
    }

    void importReadsTreeAndListAgain()
    {
        Fenetre f;
        TPromptsScriptes prompts;
        // What an import may do: new products, a renamed category.
        TCompteurLectures compteur(f.c.Dm().Handle());
        TQuandModale<> importation([&](QWidget*) {
            f.c.Sql(
                "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Stock)"
                " VALUES (0, 5, 2, 'Masse', 0)");
            f.c.Sql("UPDATE ProduitType SET Libelle = 'Marteaux et masses' WHERE IdProduitType = 2");
        });
        Cliquer(f.fiche.get(), "btnImport");
        ATTENDRE_MODALE(importation);
        QCOMPARE(importation.Classe(), QString("TFicheImportation"));
        QCOMPARE(f.arbre->currentItem()->text(0), QString("Marteaux et masses"));
        QCOMPARE(f.Colonne(3), (QStringList{"Marteau", "Masse"}));
        QCOMPARE(compteur.Nombre(), 1);

        // The listed category is gone after the import: nothing is selected.
        TQuandModale<> suppression([&](QWidget*) { f.c.Sql("DELETE FROM ProduitType WHERE IdProduitType = 2"); });
        Cliquer(f.fiche.get(), "btnImport");
        ATTENDRE_MODALE(suppression);
        QVERIFY(f.arbre->findItems("Marteaux et masses", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
        QVERIFY(f.arbre->selectedItems().isEmpty());
    }

    void duplicateAndRaise()
    {
        Fenetre f;
        TPromptsScriptes prompts;
        Cliquer(f.fiche.get(), "btnDuppliquer");
        QCOMPARE(f.Colonne(1), (QStringList{"1", "2"}));

        TQuandModale<> hausse([](QWidget* w) {
            w->findChild<QLineEdit*>("jveHausseValeur")->setText("1,50");
            Cliquer(w, "btnOk");
        });
        f.fiche->findChild<QAction*>("miHausse")->trigger();
        ATTENDRE_MODALE(hausse);
        QCOMPARE(hausse.Classe(), QString("TFicheHausseCategorie"));
        QCOMPARE(f.Colonne(7), (QStringList{"11,50", "11,50"}));
    }

    void otherWindows()
    {
        Fenetre f;
        TPromptsScriptes prompts;
        TQuandModale<> exportation;
        Cliquer(f.fiche.get(), "btnExport");
        ATTENDRE_MODALE(exportation);
        QCOMPARE(exportation.Classe(), QString("TFicheExportation"));
        TQuandModale<> apercu;
        Cliquer(f.fiche.get(), "btnImprimer");
        ATTENDRE_MODALE(apercu);
        QCOMPARE(apercu.Classe(), QString("TFicheApercu"));
    }
};

QTEST_MAIN(TestAdminCablage)
#include "test_admin_cablage.moc"
