// The settings window opens the right window for each of its actions and
// refreshes its list after it.

#include "admin/ficheparametreproduit.h"
#include "app/chemins.h"
#include "app/prompts.h"
#include "store/dmkestravel.h"
#include "tests/soutien.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

class TestAdminCablage : public QObject {
    Q_OBJECT

    QTemporaryDir m_admin;

    struct Fenetre {
        TCatalogueTest c;
        std::unique_ptr<TFicheParametreProduit> fiche;
        QTreeWidget* arbre = nullptr;
        QTreeWidget* liste = nullptr;
        Fenetre()
        {
            c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, 'Outillage'), (0, 2, 1, 'Marteaux')");
            c.Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference, PrixVenteHT,"
                  " PrixTarifHT, PrixAchatHT, Stock, StockMini, Lien) VALUES"
                  " (0, 1, 2, 'Marteau', 'M1', 10, 12, 5, 3, 1, '')");
            fiche = std::make_unique<TFicheParametreProduit>(c.Dm());
            arbre = fiche->findChild<QTreeWidget*>("tvProduitType");
            liste = fiche->findChild<QTreeWidget*>("lvProduits");
            arbre->setCurrentItem(arbre->findItems("Marteaux", Qt::MatchExactly | Qt::MatchRecursive).first());
            liste->setCurrentItem(liste->topLevelItem(0));
        }
        QStringList Colonne(int col) const
        {
            QStringList r;
            for (int i = 0; i < liste->topLevelItemCount(); ++i)
                r << liste->topLevelItem(i)->text(col);
            return r;
        }
    };

    // Runs `action`, which opens a modal window; `dedans` drives that window.
    // Returns the class name of the window that opened.
    QString Modale(const std::function<void()>& action, const std::function<void(QWidget*)>& dedans)
    {
        QString nom;
        QTimer::singleShot(0, this, [&] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w)
                return;
            nom = w->metaObject()->className();
            dedans(w);
            if (w->isVisible())
                w->close();
        });
        action();
        return nom;
    }
    static void Cliquer(QWidget* w, const char* nom) { w->findChild<QPushButton*>(nom)->click(); }

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
        QCOMPARE(Modale([&] { Cliquer(f.fiche.get(), "btnAjouterProduit"); },
                        [](QWidget* w) {
                            w->findChild<QLineEdit*>("edtLibelle")->setText("Maillet");
                            Cliquer(w, "btnOk");
                        }),
                 QString("TFicheProduitAddOrUpdate"));
        QCOMPARE(f.Colonne(3), (QStringList{"Marteau", "Maillet"}));

        f.liste->setCurrentItem(f.liste->topLevelItem(0));
        QCOMPARE(Modale([&] { f.fiche->lvProduitsDblClick(); },
                        [](QWidget* w) {
                            QCOMPARE(w->findChild<QLineEdit*>("edtLibelle")->text(), QString("Marteau"));
                            w->findChild<QLineEdit*>("edtLibelle")->setText("Marteau de coffreur");
                            Cliquer(w, "btnOk");
                        }),
                 QString("TFicheProduitAddOrUpdate"));
        QCOMPARE(f.Colonne(3), (QStringList{"Marteau de coffreur", "Maillet"}));
        QCOMPARE(f.arbre->currentItem()->text(0), QString("Marteaux"));
    }

    void duplicateAndRaise()
    {
        Fenetre f;
        TPromptsScriptes prompts;
        Cliquer(f.fiche.get(), "btnDuppliquer");
        QCOMPARE(f.Colonne(1), (QStringList{"1", "2"}));

        QCOMPARE(Modale([&] { f.fiche->findChild<QAction*>("miHausse")->trigger(); },
                        [](QWidget* w) {
                            w->findChild<QLineEdit*>("jveHausseValeur")->setText("1,50");
                            Cliquer(w, "btnOk");
                        }),
                 QString("TFicheHausseCategorie"));
        QCOMPARE(f.Colonne(7), (QStringList{"11,50", "11,50"}));
    }

    void otherWindows()
    {
        Fenetre f;
        TPromptsScriptes prompts;
        QCOMPARE(Modale([&] { Cliquer(f.fiche.get(), "btnExport"); }, [](QWidget*) {}),
                 QString("TFicheExportation"));
        QCOMPARE(Modale([&] { Cliquer(f.fiche.get(), "btnImprimer"); }, [](QWidget*) {}),
                 QString("QPrintPreviewDialog"));
    }
};

QTEST_MAIN(TestAdminCablage)
#include "test_admin_cablage.moc"
