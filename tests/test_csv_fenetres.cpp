// The export and import windows: folder choice, messages, marks, the busy
// flag while a run goes on, and closing refused meanwhile; the product
// editor's warning about text the files cannot carry.

#include "core/base/prompts.h"
#include "core/interchange/interchange.h"
#include "core/store/dmkestravel.h"
#include "gui/interchange/ficheapercuimport.h"
#include "gui/interchange/ficheexportation.h"
#include "gui/interchange/ficheimportation.h"
#include "gui/product/ficheproduitaddorupdate.h"
#include "tests/modale.h"
#include "tests/soutien.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {
using G = IPrompts::Genre;

// Enough rows for the export to hand control to the event loop midway.
void Categories(TCatalogueTest& c, int nombre)
{
    for (int i = 1; i <= nombre; ++i)
        c.Sql("INSERT INTO ProduitType VALUES (0, ?, 0, ?)", {i, QStringLiteral("Catégorie %1").arg(i)});
}
}  // namespace

class TestCsvFenetres : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void controles()
    {
        TCatalogueTest c;
        TFicheExportation e(c.Dm(), nullptr);
        TFicheImportation i(c.Dm(), nullptr);
        QCOMPARE(e.windowTitle(), QString::fromUtf8("Exportation des données"));
        QCOMPARE(i.windowTitle(), QString::fromUtf8("Importation des données"));
        QCOMPARE(e.findChild<QLabel*>("lblChoixRepertoire")->text(),
                 QString::fromUtf8("Choix du répertoire d'exportation :"));
        QCOMPARE(i.findChild<QPushButton*>("btnProduitTypeCarac")->text(),
                 QString::fromUtf8("Importation des caractéristiques"));
        for (const char* t : {"Produit", "ProduitCarac", "ProduitType", "ProduitTypeCarac", "Transaction"}) {
            const QString s = QString::fromLatin1(t);
            QPushButton* b = e.findChild<QPushButton*>("btn" + s);
            QVERIFY(b && b->toolTip() == "Exporter");
            QVERIFY(e.findChild<QProgressBar*>("pb" + s));
            QVERIFY(e.findChild<QLabel*>("imgYes" + s)->isHidden());
            QVERIFY(i.findChild<QPushButton*>("btn" + s));
        }
    }

    void exportation()
    {
        TCatalogueTest c;
        Categories(c, 3);
        QTemporaryDir dossier;
        TPromptsScriptes p;
        TFicheExportation f(c.Dm(), nullptr);
        auto* edit = f.findChild<QLineEdit*>("deRepertoire");
        auto* marque = f.findChild<QLabel*>("imgYesProduitType");

        // No folder: the chooser opens; cancelled, nothing is written.
        f.btnProduitTypeClick();
        QCOMPARE(p.Textes(G::Dossier).size(), 1);
        QCOMPARE(p.DernierMessage(), QString::fromUtf8("Veuillez sélectionner un répertoire avant d'exporter."));
        QVERIFY(marque->isHidden());

        p.Effacer();
        p.RepondreDossier(dossier.path());
        f.btnProduitTypeClick();
        QCOMPARE(edit->text(), QDir::toNativeSeparators(dossier.path()));
        QVERIFY(p.Messages().isEmpty());
        QVERIFY(!marque->isHidden());
        QCOMPARE(f.findChild<QProgressBar*>("pbProduitType")->value(), 3);
        QCOMPARE(QDir(dossier.path()).entryList({"*_export_produit_type.csv"}).size(), 1);

        // A character the file cannot hold: said at the end, export done.
        c.Sql("UPDATE ProduitType SET Libelle = ? WHERE IdProduitType = 2", {QString::fromUtf8("Łódź")});
        p.Effacer();
        f.btnProduitTypeClick();
        QCOMPARE(p.Textes(G::Information).size(), 1);
        QVERIFY2(p.Textes(G::Information)
                         .first()
                         .startsWith(
                             QString::fromUtf8("Exportation de la table ProduitType : 2 caractères que le fichier CSV"))
                     && p.Textes(G::Information).first().contains("ligne 3 du fichier"),
                 qPrintable(p.Textes(G::Information).first()));
        QVERIFY(!marque->isHidden());

        // A folder that does not exist.
        edit->setText(dossier.filePath("absent"));
        f.btnProduitTypeClick();
        QCOMPARE(p.DernierMessage(),
                 QString::fromUtf8("Exportation - Une erreur est survenue pendant la création du fichier."));
        QVERIFY(marque->isHidden());
        QVERIFY(!f.Occupe());
    }

    // While an export runs, the other buttons and closing are refused; the
    // running export still ends well.
    void exportationOccupee()
    {
        TCatalogueTest c;
        Categories(c, 300);
        QTemporaryDir dossier;
        TPromptsScriptes p;
        TFicheExportation f(c.Dm(), nullptr);
        f.findChild<QLineEdit*>("deRepertoire")->setText(dossier.path());
        f.show();
        bool vuOccupe = false;
        QTimer::singleShot(0, &f, [&] {
            vuOccupe = f.Occupe();
            f.btnProduitClick();
            f.reject();
        });
        f.btnProduitTypeClick();
        QVERIFY(vuOccupe);
        QCOMPARE(p.Messages(),
                 QStringList({QString::fromUtf8("Une exportation est déjà en cours."),
                              QString::fromUtf8("Une exportation est déjà en cours.")}));
        QVERIFY(f.isVisible());
        QVERIFY(!f.findChild<QLabel*>("imgYesProduitType")->isHidden());
        QVERIFY(f.findChild<QLabel*>("imgYesProduit")->isHidden());
        QCOMPARE(QDir(dossier.path()).entryList(QDir::Files).size(), 1);
        f.reject();
        QVERIFY(!f.isVisible());
    }

    // The import shows what it would change first: "Annuler" writes
    // nothing, "Importer" replaces the table; a file that cannot be read is
    // refused before any preview.
    void importation()
    {
        TCatalogueTest c;
        Categories(c, 300);
        QTemporaryDir dossier;
        const QString chemin = CheminImport(TTableCsv::ProduitType, dossier.path());
        QFile::rename(ExporterTable(c.Dm(), TTableCsv::ProduitType, dossier.path()).chemin, chemin);
        TPromptsScriptes p;
        TFicheImportation f(c.Dm(), nullptr);
        f.findChild<QLineEdit*>("deRepertoire")->setText(dossier.path());
        auto* marque = f.findChild<QLabel*>("imgYesProduitType");
        QString resume;
        int differences = -1;
        auto apercu = [&](bool importer) {
            return [&, importer](TFicheApercuImport* a) {
                resume = a->findChild<QLabel*>("lblResume")->text();
                differences = a->findChild<QTableWidget*>("tblDifferences")->rowCount();
                a->findChild<QPushButton*>(importer ? "btnImporter" : "btnAnnuler")->click();
            };
        };
        {
            TQuandModale<TFicheApercuImport> modale(apercu(true));
            QTimer::singleShot(0, &f, [&] { f.btnProduitTypeClick(); });
            f.btnProduitTypeClick();
            ATTENDRE_MODALE(modale);
        }
        QCOMPARE(resume, QString::fromUtf8("ProduitType : 0 ligne ajoutée, 0 modifiée, 0 supprimée, 300 inchangées."));
        QCOMPARE(differences, 0);
        QCOMPARE(p.Messages(),
                 QStringList({QString::fromUtf8("Une importation est déjà en cours."),
                              QString::fromUtf8("ProduitType : Nombre de lignes supprimées = 300")}));
        QVERIFY(!marque->isHidden());
        auto* barre = f.findChild<QProgressBar*>("pbProduitType");
        QCOMPARE(barre->value(), barre->maximum());
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 300);

        // Every row changed, one added, the rest removed: the counts, at
        // least fifty differences listed; "Annuler" leaves the table.
        p.Effacer();
        QByteArray fichier;
        for (int i = 1; i <= 120; ++i)
            fichier += "0;" + QByteArray::number(i) + ";0;Rayon " + QByteArray::number(i) + "\r\n";
        fichier += "0;1000;0;Nouveau\r\n";
        EcrireFichier(chemin, fichier);
        {
            TQuandModale<TFicheApercuImport> modale(apercu(false));
            f.btnProduitTypeClick();
            ATTENDRE_MODALE(modale);
        }
        QCOMPARE(resume,
                 QString::fromUtf8("ProduitType : 1 ligne ajoutée, 120 modifiées, 180 supprimées, 0 inchangée."));
        QCOMPARE(differences, DifferencesApercu);
        QVERIFY(p.Messages().isEmpty());
        QVERIFY(marque->isHidden());
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 300);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType WHERE Libelle LIKE 'Rayon%'"), 0);

        // A failing line: the error box before any preview, the former rows,
        // no mark.
        EcrireFichier(chemin, "\"0\";\"1\";\"0\";\"A\";\r\n\"0\";\"1\";");
        {
            TQuandModale<TFicheApercuImport> modale;
            f.btnProduitTypeClick();
            QVERIFY(modale.PasOuverte());
        }
        QCOMPARE(p.Textes(G::Erreur).size(), 1);
        QVERIFY(p.Textes(G::Erreur).first().startsWith("Importation - Ligne 2 du fichier import_produit_type.csv"));
        QCOMPARE(p.Messages().size(), 1);
        QVERIFY(marque->isHidden());
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 300);

        p.Effacer();
        f.btnProduitClick();
        QCOMPARE(p.Messages(),
                 QStringList{"Importation - Le fichier d'importation n'existe pas : "
                             + CheminImport(TTableCsv::Produit, dossier.path())});
        QVERIFY(!f.Occupe());
    }

    // The product editor warns before saving a text the host's files cannot
    // carry; the user may go back and correct it.
    void editeurCaracteresAbsents()
    {
        TCatalogueTest c;
        c.Sql("INSERT INTO ProduitType VALUES (0, 5, 0, 'Boulons')");
        TPromptsScriptes p;
        TFicheProduitAddOrUpdate fiche(c.Dm(), nullptr);
        fiche.SetCategorieInitiale(5);
        fiche.show();
        fiche.findChild<QLineEdit*>("edtLibelle")->setText(QString::fromUtf8("Vis Łódź"));
        auto* ok = fiche.findChild<QPushButton*>("btnOk");
        ok->click();
        QCOMPARE(p.Textes(G::Confirmation).size(), 1);
        QVERIFY2(p.Textes(G::Confirmation).first().contains(QString::fromUtf8("« Ł », « ź »")),
                 qPrintable(p.Textes(G::Confirmation).first()));
        QVERIFY(fiche.isVisible());
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit"), 0);

        p.RepondreConfirmation(true);
        ok->click();
        QCOMPARE(fiche.result(), int(QDialog::Accepted));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit WHERE Libelle = ?", {QString::fromUtf8("Vis Łódź")}), 1);
    }
};

QTEST_MAIN(TestCsvFenetres)
#include "test_csv_fenetres.moc"
