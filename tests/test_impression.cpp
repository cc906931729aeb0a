// Product list report: variables read from the list in display order, the
// printed texts, pagination, the PDF file and the preview window.

#include "admin/impression.h"
#include "app/prompts.h"
#include "store/dmkestravel.h"
#include "store/erreurs.h"
#include "store/format.h"
#include "tests/soutien.h"
#include "tools/demo.h"

#include <QAction>
#include <QDir>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QScopeGuard>
#include <QTreeWidget>
#include <QtTest>

namespace {
// A list with the settings window's columns.
QTreeWidget* Liste(QObject* proprietaire)
{
    auto* lv = new QTreeWidget;
    QObject::connect(proprietaire, &QObject::destroyed, lv, &QObject::deleteLater);
    lv->setObjectName("lvProduits");
    lv->setColumnCount(9);
    return lv;
}
void Ajouter(QTreeWidget* lv, int id, const QString& libelle, const QString& reference, double tarif, double achat,
             double vente, int stock)
{
    new QTreeWidgetItem(lv, {"0", QString::number(id), "1", libelle, reference, Montant(tarif), Montant(achat),
                             Montant(vente), stock > 0 ? QString::number(stock) : QString()});
}
QStringList Libelles(TRapportListeProduits& r)
{
    QStringList l;
    for (int i = 0; i < r.frxUserDataSet1.RangeEndCount; ++i) {
        r.frxUserDataSet1.RecNo = i;
        l << r.frxReport1GetValue("libelle").toString();
    }
    return l;
}
const double HauteurA4 = 277;   // 297 less two margins of 10
}  // namespace

class TestImpression : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void VariablesDansLOrdreDeLaListe()
    {
        QTreeWidget* lv = Liste(this);
        Ajouter(lv, 1, "Marteau", "MAR500", 16.9, 8.2, 14.5, 12);
        Ajouter(lv, 2, "Clés plates", "CLE622", 29.9, 14, 26, 0);
        Ajouter(lv, 3, "Tournevis", "TRV55", 1234.5, 2.1, 4.2, -3);
        {
            TRapportListeProduits r(lv->model());
            QCOMPARE(r.frxUserDataSet1.RangeEndCount, 3);
            QCOMPARE(Libelles(r), (QStringList{"Marteau", "Clés plates", "Tournevis"}));
            r.frxUserDataSet1.RecNo = 0;
            QCOMPARE(r.frxReport1GetValue("reference").toString(), QStringLiteral("MAR500"));
            QCOMPARE(r.frxReport1GetValue("prix_tarif_ht").toString(), QStringLiteral("16,90"));
            QCOMPARE(r.frxReport1GetValue("prix_achat_ht").toString(), QStringLiteral("8,20"));
            QCOMPARE(r.frxReport1GetValue("prix_vente_ht").toString(), QStringLiteral("14,50"));
            QCOMPARE(r.frxReport1GetValue("stock").toString(), QStringLiteral("12"));
            // Names match exactly, case included.
            QVERIFY(!r.frxReport1GetValue("Libelle").isValid());
            QVERIFY(!r.frxReport1GetValue("IdProduit").isValid());

            // Printed texts: labels, values as listed, nothing after an empty stock.
            const QVector<TBoiteTexte>& boites = r.frxReport1.DonneesMaitre.boites;
            QCOMPARE(boites.size(), 6);
            r.frxUserDataSet1.RecNo = 2;
            QStringList textes;
            for (const TBoiteTexte& b : boites)
                textes << r.frxReport1.TexteBoite(b);
            QCOMPARE(textes, (QStringList{"Libellé : Tournevis", "Référence : TRV55", "Prix tarif HT : 1234,50",
                                          "Prix achat HT : 2,10", "Prix vente HT : 4,20", "Stock : "}));
            QCOMPARE(r.frxReport1.TexteBoite(r.frxReport1.TitreRapport.boites.value(0)),
                     QStringLiteral("Liste des produits provenenant du module Kestravel"));
        }
        // A column sort carries over to the print.
        lv->sortItems(3, Qt::AscendingOrder);
        TRapportListeProduits r(lv->model());
        QCOMPARE(Libelles(r), (QStringList{"Clés plates", "Marteau", "Tournevis"}));
    }

    void Pagination()
    {
        QTreeWidget* lv = Liste(this);
        TRapportListeProduits vide(lv->model());
        QCOMPARE(vide.frxReport1.Preparer(HauteurA4).size(), 1);   // the title alone
        // 20 mm of title then 16 mm per product: 16 products on the first
        // page, 17 on the next ones.
        for (const auto& [n, pages] : {std::pair{16, 1}, {17, 2}, {33, 2}, {34, 3}, {50, 3}, {51, 4}}) {
            while (lv->topLevelItemCount() < n)
                Ajouter(lv, lv->topLevelItemCount() + 1, "P", "R", 1, 1, 1, 1);
            TRapportListeProduits r(lv->model());
            const QVector<TRapport::TPage> p = r.frxReport1.Preparer(HauteurA4);
            QCOMPARE(p.size(), pages);
            for (const TRapport::TPage& page : p)
                QVERIFY(page.last().haut + page.last().bande->hauteur <= HauteurA4);
        }
        // Every product printed once, in order.
        TRapportListeProduits r(lv->model());
        int suivant = 0;
        for (const TRapport::TPage& page : r.frxReport1.Preparer(HauteurA4))
            for (const TRapport::TPlacement& pl : page)
                if (pl.enregistrement >= 0)
                    QCOMPARE(pl.enregistrement, suivant++);
        QCOMPARE(suivant, 51);
    }

    void FichierPdf()
    {
        QTemporaryDir dossier;
        QTreeWidget* lv = Liste(this);
        for (int i = 1; i <= 40; ++i)
            Ajouter(lv, i, QStringLiteral("Produit %1").arg(i), "R", i, i, i, i);
        const QString chemin = dossier.filePath("liste.pdf");
        QString erreur;
        QVERIFY2(ExporterListePdf(lv->model(), chemin, &erreur), qPrintable(erreur));
        const QByteArray pdf = LireFichier(chemin).toLatin1();
        QVERIFY(pdf.startsWith("%PDF"));
        QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "), 3);

        // Into a folder that does not exist: a French message, no file.
        const QString manque = dossier.filePath("absent/liste.pdf");
        QVERIFY(!ExporterListePdf(lv->model(), manque, &erreur));
        QVERIFY(erreur.startsWith(QStringLiteral("Impossible d'écrire le fichier PDF « liste.pdf »")));
        QVERIFY(!QFile::exists(manque));
    }

    // Writes the demo catalogue's largest category to a PDF beside the
    // build, for a reviewer to look at.
    void PdfDuCatalogueDemo()
    {
        TCatalogueTest c;
        RemplirCatalogueDemo(c.Chemin());
        const int categorie = c.Entier("SELECT IdProduitType FROM Produit WHERE Externe = 0"
                                       " GROUP BY IdProduitType ORDER BY COUNT(*) DESC, IdProduitType LIMIT 1");
        QTreeWidget* lv = Liste(this);
        QSqlQuery q = ExecuterSql(c.Dm().Base(),
                                  "SELECT IdProduit, Libelle, Reference, PrixTarifHT, PrixAchatHT, PrixVenteHT, Stock"
                                  " FROM Produit WHERE Externe = 0 AND IdProduitType = ? ORDER BY IdProduit",
                                  {categorie});
        while (q.next())
            Ajouter(lv, q.value(0).toInt(), q.value(1).toString(), q.value(2).toString(), q.value(3).toDouble(),
                    q.value(4).toDouble(), q.value(5).toDouble(), q.value(6).toInt());
        QVERIFY(lv->topLevelItemCount() >= 3);
        const QString build = qEnvironmentVariable("KESTRAVEL_BUILD", QDir::tempPath());
        const QString chemin = QDir(build).filePath("liste-produits-demo.pdf");
        QString erreur;
        QVERIFY2(ExporterListePdf(lv->model(), chemin, &erreur), qPrintable(erreur));
        QVERIFY(QFileInfo(chemin).size() > 1000);
        qInfo("Liste imprimée : %s", qPrintable(chemin));
    }

    void Apercu()
    {
        QTemporaryDir dossier;
        TPromptsScriptes prompts;
        prompts.RepondreFichier(dossier.filePath("export"));   // the extension is added
        QTreeWidget* lv = Liste(this);
        for (int i = 1; i <= 20; ++i)
            Ajouter(lv, i, QStringLiteral("Produit %1").arg(i), "R", i, i, i, i);

        int pages = -1;
        bool vu = false;
        QTimer::singleShot(0, this, [&]() {
            auto* apercu = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            QVERIFY(apercu);
            const auto fermer = qScopeGuard([apercu]() { apercu->reject(); });
            auto* vue = apercu->findChild<QPrintPreviewWidget*>();
            QVERIFY(vue);
            QTRY_VERIFY(vue->pageCount() > 0);
            pages = vue->pageCount();
            auto* exporter = apercu->findChild<QAction*>("actExporterPdf");
            QVERIFY(exporter);
            QCOMPARE(exporter->text(), QStringLiteral("Exporter en PDF"));
            exporter->trigger();
            vu = true;
        });
        ImprimerListe(lv->model(), nullptr);
        QVERIFY(vu);
        QCOMPARE(pages, 2);
        QVERIFY(LireFichier(dossier.filePath("export.pdf")).startsWith("%PDF"));
        QCOMPARE(prompts.Textes(IPrompts::Genre::Information).size(), 1);

        // An empty list shows nothing.
        ImprimerListe(Liste(this)->model(), nullptr);
    }
};

QTEST_MAIN(TestImpression)
#include "test_impression.moc"
