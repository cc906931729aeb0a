// The VOIR browser, the product view and the exchange file it writes.

#include "core/base/chemins.h"
#include "core/base/prompts.h"
#include "core/catalogue/veille.h"
#include "core/exchange/exportproduit.h"
#include "core/exchange/xmldoc.h"
#include "core/store/dmkestravel.h"
#include "gui/common/listeproduits.h"
#include "gui/viewer/ficheproduitliste.h"
#include "gui/viewer/ficheproduitview.h"
#include "tests/modale.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStringDecoder>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

namespace {
QByteArray Octets(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TCaracValeurPtr Carac(const QString& libelle, const QString& valeur, const QString& unite)
{
    auto v = std::make_shared<TCaracValeur>();
    v->SetLibelle(libelle);
    v->SetValeur(valeur);
    v->SetUnite(unite);
    return v;
}
}  // namespace

class TestViewer : public QObject {
    Q_OBJECT

    QTemporaryDir m_admin;

    // Categories of origins 0, 2 and 3 (none of origin 1), products in the
    // "Marteaux" category and one with the same numbers in origin 2.
    static void Remplir(TCatalogueTest& c)
    {
        c.Sql(
            "INSERT INTO ProduitType VALUES (0, 1, 0, 'Outils'), (0, 2, 1, 'Marteaux'), (0, 3, 0, 'Abrasifs'),"
            " (0, 4, 9, 'Orpheline'), (2, 2, 0, 'Catalogue standard'), (3, 1, 0, 'Origine trois')");
        c.Sql(
            "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference, PrixVenteHT, Stock)"
            " VALUES (0, 10, 2, 'Marteau', 'M10', 12.5, 7), (0, 11, 2, 'Maillet', 'M11', 3, 0),"
            " (0, 12, 2, 'Masse', 'M12', 40, -2), (0, 13, 1, 'Pince', 'P13', 5, 1),"
            " (2, 10, 2, 'Marteau standard', 'S10', 1, 1)");
    }

    static QTreeWidgetItem* Noeud(QTreeWidget* tv, const QString& libelle)
    {
        const auto trouves = tv->findItems(libelle, Qt::MatchExactly | Qt::MatchRecursive);
        return trouves.value(0);
    }

    static QStringList Ligne(QTreeView* lv, int i)
    {
        QStringList textes;
        for (int c = 0; c < lv->model()->columnCount(); ++c)
            textes << lv->model()->index(i, c).data().toString();
        return textes;
    }

    // Selects the "Marteaux" category and its first product; returns the list.
    static QTreeView* ChoisirMarteau(TFicheProduitListe& liste)
    {
        auto* tv = liste.findChild<QTreeWidget*>("tvVisualisation");
        auto* lv = liste.findChild<QTreeView*>("lvProduits");
        tv->setCurrentItem(Noeud(tv, "Marteaux"));
        lv->setCurrentIndex(lv->model()->index(0, 0));
        return lv;
    }

    static TProduit ProduitExemple()
    {
        TProduit p;
        p.SetExterne(0);
        p.SetIdProduit(10);
        p.SetIdProduitType(2);
        p.SetLibelle("Marteau de charpentier");
        p.SetDescription("Tête forgée\r\nManche frêne");
        p.SetReference("M10");
        p.SetDateCreation("02/04/2024");
        p.SetCodeExport("EXP-10");
        p.SetPrixAchatHT(6.2f);
        p.SetPrixTarifHT(0);
        p.SetPrixVenteHT(15);
        p.SetLien("marteau.png");
        p.SetStock(3);
        p.SetStockMini(5);
        p.SetCaracValeurs(std::make_shared<TListeCaracValeurs>(TListeCaracValeurs{Carac("Poids", "600", "g")}));
        return p;
    }

private slots:
    void initTestCase()
    {
        LocaleFrancaise();
        SetDossierAdministration(m_admin.path());
        VerifierDossiersImages();
    }

    void arbreUneRacineParOrigineAvecCategories()
    {
        TCatalogueTest c;
        Remplir(c);
        TPromptsScriptes prompts;
        TFicheProduitListe liste(c.Dm());
        auto* tv = liste.findChild<QTreeWidget*>("tvVisualisation");
        // No "Externe" root without external categories; origin 3 and an
        // orphan are left out; each origin's rows sit under its own root.
        QCOMPARE(tv->topLevelItemCount(), 2);
        QCOMPARE(tv->topLevelItem(0)->text(0), QString("Interne"));
        QCOMPARE(tv->topLevelItem(1)->text(0), QString("Standard"));
        QCOMPARE(Noeud(tv, "Marteaux")->parent()->parent(), tv->topLevelItem(0));
        QCOMPARE(Noeud(tv, "Catalogue standard")->parent(), tv->topLevelItem(1));
        QVERIFY(!Noeud(tv, "Orpheline"));
        QVERIFY(!Noeud(tv, "Origine trois"));
        // Nothing selected during the load.
        QVERIFY(!tv->currentItem());

        // No category at all: an empty tree and no message.
        TCatalogueTest vide;
        TFicheProduitListe listeVide(vide.Dm());
        listeVide.show();
        QCOMPARE(listeVide.findChild<QTreeWidget*>("tvVisualisation")->topLevelItemCount(), 0);
        QVERIFY(prompts.Traces().isEmpty());
    }

    void listeDesProduitsDeLaCategorie()
    {
        TCatalogueTest c;
        Remplir(c);
        TFicheProduitListe liste(c.Dm());
        auto* tv = liste.findChild<QTreeWidget*>("tvVisualisation");
        QTreeView* lv = ChoisirMarteau(liste);
        // Only origin 0, category 2, by product number (the origin-2 product
        // with the same numbers stays out); the key in the hidden columns.
        QCOMPARE(lv->columnWidth(0), 1);
        QCOMPARE(lv->model()->rowCount(), 3);
        QCOMPARE(Ligne(lv, 0), QStringList({"0", "10", "2", "Marteau", "M10", "12,50", "7"}));
        QCOMPARE(Ligne(lv, 1), QStringList({"0", "11", "2", "Maillet", "M11", "3,00", ""}));
        QCOMPARE(Ligne(lv, 2), QStringList({"0", "12", "2", "Masse", "M12", "40,00", ""}));

        // Selecting a root keeps what the list showed.
        tv->setCurrentItem(tv->topLevelItem(1));
        QCOMPARE(lv->model()->rowCount(), 3);
        tv->setCurrentItem(Noeud(tv, "Catalogue standard"));
        QCOMPARE(Ligne(lv, 0).value(3), QString("Marteau standard"));
    }

    void vueAfficheLeProduit()
    {
        const QString image = CheminImagesInterne() + "marteau.png";
        QImage(20, 10, QImage::Format_RGB32).save(image);
        TProduit p = ProduitExemple();
        TFicheProduitView vue(nullptr, "inutile.xml", p);
        // The list price shows as held, even where the export replaces it.
        QCOMPARE(vue.findChild<QLabel*>("stPrixTarif")->text(), QString("0,00"));
        QCOMPARE(vue.findChild<QLabel*>("stPrixVente")->text(), QString("15,00"));
        // Stock 3 at or below a threshold of 5: orange alone.
        QVERIFY(!vue.findChild<QLabel*>("imgOrange")->isHidden());
        for (const char* nom : {"imgGris", "imgRouge", "imgVert"})
            QVERIFY2(vue.findChild<QLabel*>(nom)->isHidden(), nom);
        // Filled again, each value is still listed once.
        vue.FormActivate();
        QCOMPARE(vue.findChild<QTreeWidget*>("lvCaracs")->topLevelItemCount(), 1);
        QVERIFY(!vue.findChild<QLabel*>("tImageProduit")->pixmap().isNull());
        QVERIFY(vue.findChild<QLabel*>("pImage")->text().isEmpty());

        TPromptsScriptes prompts;
        vue.tImageProduitDblClick();
        QCOMPARE(prompts.FichiersOuverts(), QStringList{image});

        // An external product: its picture is still looked for in the
        // internal folder, so an image in the external folder is not shown.
        QFile::rename(image, CheminImagesExterne() + "marteau.png");
        p.SetExterne(1);
        TFicheProduitView externe(nullptr, "inutile.xml", p);
        QCOMPARE(externe.findChild<QLabel*>("pImage")->text(), QString("Aucune image"));
        // A screen reader is told there is none.
        QVERIFY(externe.findChild<QLabel*>("pImage")->accessibleName().contains("Aucune image"));
        QVERIFY(externe.findChild<QLabel*>("tImageProduit")->pixmap().isNull());

        // A name that leaves the folder is neither shown nor opened; no name
        // opens the folder.
        prompts.Effacer();
        p.SetLien("../marteau.png");
        TFicheProduitView dehors(nullptr, "inutile.xml", p);
        QCOMPARE(dehors.findChild<QLabel*>("pImage")->text(), QString("Aucune image"));
        dehors.tImageProduitDblClick();
        p.SetLien("");
        TFicheProduitView sansImage(nullptr, "inutile.xml", p);
        sansImage.tImageProduitDblClick();
        QCOMPARE(prompts.FichiersOuverts(), QStringList{CheminImagesInterne()});
    }

    void descriptionExportee_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("avecCarac");
        QTest::addColumn<QString>("unite");
        QTest::addColumn<QString>("commentaire");
        QTest::addColumn<QString>("attendu");
        QTest::newRow("deux lignes") << "Ligne 1\r\nLigne 2" << false << ""
                                     << ""
                                     << "Ligne 1[br]Ligne 2[br]";
        QTest::newRow("déjà terminée") << "Ligne 1[br]" << false << ""
                                       << ""
                                       << "Ligne 1[br]";
        QTest::newRow("sauts seuls") << "A\nB\rC" << false << ""
                                     << ""
                                     << "A[br]B[br]C[br]";
        QTest::newRow("vide, carac et commentaire") << "" << true << "g"
                                                    << "Livrer lundi"
                                                    << "Poids : 600 g[br]Livrer lundi[br]";
        QTest::newRow("unité vide") << "" << true << ""
                                    << ""
                                    << "Poids : 600 [br]";
        QTest::newRow("rien") << "" << false << ""
                              << ""
                              << "";
    }

    void descriptionExportee()
    {
        QFETCH(QString, description);
        QFETCH(bool, avecCarac);
        QFETCH(QString, unite);
        QFETCH(QString, commentaire);
        QFETCH(QString, attendu);
        const TListeCaracValeurs caracs{Carac("Poids", "600", unite)};
        QCOMPARE(DescriptionExport(description, avecCarac ? &caracs : nullptr, commentaire), attendu);
    }

    void fichierExporte()
    {
        QTemporaryDir dossier;
        const QString chemin = dossier.filePath("export.xml");
        EcrireFichier(chemin, "ancien contenu");
        TProduit p = ProduitExemple();
        p.SetLibelle("Crème €");
        ExporterProduit(chemin, p, 4, "Urgent");

        // Windows-1252 bytes, no formatting, the thirteen children in order.
        const QByteArray octets = Octets(chemin);
        QVERIFY(octets.startsWith("<?xml version=\"1.0\" encoding=\"windows-1252\"?>"));
        QVERIFY(octets.contains("<Libelle>Cr\xE8me \x80</Libelle>"));
        const QString texte = QStringDecoder("windows-1252").decode(octets);
        QStringList elements;
        for (const auto& m : QRegularExpression("<(\\w+)>").globalMatch(texte))
            elements << m.captured(1);
        QCOMPARE(elements,
                 QStringList({"Kestravel", "Externe", "IdProduit", "IdProduitType", "Libelle", "Description",
                              "Reference", "DateCreation", "CodeExport", "Quantite", "PrixAchatHT", "PrixTarifHT",
                              "PrixVentetHT", "Image"}));

        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(chemin);
        TXmlNodeRefList lignes;
        doc.Root().ChildrenByName("Produit", lignes);
        QCOMPARE(lignes.Count(), 1);
        const TXmlNodeRef ligne = lignes.Get(0);
        QCOMPARE(ligne.ReadAttributeString("DateExport", "?"), QDate::currentDate().toString("dd/MM/yyyy"));
        QCOMPARE(ligne.ReadAttributeString("Quantite", "absent"), QString("absent"));
        const auto valeur = [&](const char* nom) { return ligne.FindChild(nom).Text(); };
        QCOMPARE(valeur("IdProduit"), QString("10"));
        QCOMPARE(valeur("Libelle"), QString("Crème €"));
        QCOMPARE(valeur("Description"), QString("Tête forgée[br]Manche frêne[br]Poids : 600 g[br]Urgent[br]"));
        QCOMPARE(valeur("DateCreation"), QString("02/04/2024"));
        QCOMPARE(valeur("CodeExport"), QString("EXP-10"));
        QCOMPARE(valeur("Quantite"), QString("4"));
        // A list price of 0: the sale price stands in for it.
        QCOMPARE(valeur("PrixTarifHT"), QString("15,00"));
        QCOMPARE(valeur("PrixVentetHT"), QString("15,00"));
        QCOMPARE(valeur("Image"), CheminImagesInterne() + "marteau.png");

        // An external product names its picture under the external folder; a
        // list price of its own is kept.
        p.SetExterne(1);
        p.SetPrixTarifHT(18.4f);
        ExporterProduit(chemin, p, 1, "");
        TXmlDoc externe("Kestravel");
        externe.LoadFromFile(chemin);
        const TXmlNodeRef ligneExterne = externe.Root().FindChild("Produit");
        QCOMPARE(ligneExterne.FindChild("Image").Text(), CheminImagesExterne() + "marteau.png");
        QCOMPARE(ligneExterne.FindChild("PrixTarifHT").Text(), QString("18,40"));
    }

    void exportImpossibleLaisseLaVueOuverte()
    {
        QTemporaryDir dossier;
        TPromptsScriptes prompts;
        TFicheProduitView vue(nullptr, dossier.filePath("absent/export.xml"), ProduitExemple());
        vue.show();
        vue.btnExporterClick();
        QVERIFY(!vue.ExportEffectue());
        QVERIFY(vue.isVisible());
        QCOMPARE(prompts.Textes(IPrompts::Genre::Erreur).size(), 1);
        QVERIFY(!QFileInfo::exists(dossier.filePath("absent/export.xml")));
    }

    // The whole road: double click, "Annuler", then export, which closes the
    // browser.
    void annulerPuisExporterDepuisLeNavigateur()
    {
        TCatalogueTest c;
        Remplir(c);
        c.Sql(
            "UPDATE Produit SET Description = 'Acier', PrixTarifHT = 14, StockMini = 2,"
            " DateCreation = '2024-04-02 00:00:00.000' WHERE Externe = 0 AND IdProduit = 10");
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (0, 1, 'Poids', 'g'), (2, 1, 'Autre', '')");
        c.Sql("INSERT INTO ProduitCarac VALUES (0, 10, 1, '600'), (2, 10, 1, 'non')");
        QTemporaryDir dossier;
        const QString chemin = dossier.filePath("export.xml");
        TPromptsScriptes prompts;
        TFicheProduitListe liste(c.Dm());
        liste.DefinirCheminExport(chemin);
        liste.show();
        ChoisirMarteau(liste);

        QStringList lu;
        TQuandModale<TFicheProduitView> annuler([&](TFicheProduitView* vue) {
            lu << vue->findChild<QLabel*>("stLibelle")->text() << vue->findChild<QLabel*>("stDate")->text()
               << QString::number(vue->findChild<QTreeWidget*>("lvCaracs")->topLevelItemCount())
               << QString::number(!vue->findChild<QLabel*>("imgVert")->isHidden());
            vue->findChild<QPushButton*>("btnOk")->click();
        });
        liste.lvProduitsDblClick();
        ATTENDRE_MODALE(annuler);
        // The record, its date and its characteristic values (only those of
        // its own origin) reached the view.
        QCOMPARE(lu, QStringList({"Marteau", "02/04/2024", "1", "1"}));
        QVERIFY(liste.isVisible());
        QVERIFY(!QFileInfo::exists(chemin));

        TQuandModale<TFicheProduitView> exporter([&](TFicheProduitView* vue) {
            vue->findChild<QSpinBox*>("seQuantite")->setValue(3);
            QTest::keyClicks(vue->findChild<QLineEdit*>("edtCommentaire"), "Pour lundi");
            vue->findChild<QPushButton*>("btnExporter")->click();
        });
        liste.lvProduitsDblClick();
        ATTENDRE_MODALE(exporter);
        QVERIFY(!liste.isVisible());
        QVERIFY(!QApplication::activeModalWidget());

        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(chemin);
        const TXmlNodeRef ligne = doc.Root().FindChild("Produit");
        QCOMPARE(ligne.FindChild("Quantite").Text(), QString("3"));
        QCOMPARE(ligne.FindChild("Description").Text(), QString("Acier[br]Poids : 600 g[br]Pour lundi[br]"));
        QCOMPARE(ligne.FindChild("PrixTarifHT").Text(), QString("14,00"));
        QCOMPARE(ligne.FindChild("DateCreation").Text(), QString("02/04/2024"));
        QVERIFY(prompts.Traces().isEmpty());
    }

    // What another process writes (a till's sale, a product added at
    // another workstation) shows in the list and in the open product view
    // without any action, the sort and the selection kept; nothing is read
    // again while nothing changes.
    void listeSuitLesAutresPostes()
    {
        TCatalogueTest c;
        Remplir(c);
        TFicheProduitListe liste(c.Dm());
        liste.show();
        QTreeView* lv = ChoisirMarteau(liste);
        auto& modele = const_cast<TModeleProduits&>(liste.ModeleProduits());
        modele.Trier(3);  // by label: Maillet, Marteau, Masse
        lv->setCurrentIndex(modele.index(2, 0));
        QSignalSpy remises(&modele, &QAbstractItemModel::modelReset);
        QSignalSpy dispositions(&modele, &QAbstractItemModel::layoutChanged);
        QVERIFY(AttendreIndexRecherche(&liste));
        TCompteurInstructions lectures(c.Dm().Handle(), "Produit");
        QTest::qWait(2 * TVeilleCatalogue::Periode + 200);
        QCOMPARE(dispositions.count(), 0);
        QCOMPARE(lectures.Nombre(), 0);

        const auto autre = c.AutreConnexion();
        autre->Connexion().Executer("UPDATE Produit SET Stock = 4 WHERE IdProduit = 12");
        autre->Connexion().Executer(
            "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference,"
            " PrixVenteHT, Stock) VALUES (0, 14, 2, 'Marteline', 'M14', 9, 2)");
        QTRY_COMPARE_WITH_TIMEOUT(modele.rowCount(), 4, 3000);
        QCOMPARE(Ligne(lv, 3), QStringList({"0", "12", "2", "Masse", "M12", "40,00", "4"}));
        QCOMPARE(Ligne(lv, 2).value(3), QString("Marteline"));
        QCOMPARE(LigneSelectionnee(lv), 3);
        QCOMPARE(remises.count(), 0);

        // The product view follows a sale; what the user typed stays.
        QString stock;
        TQuandModale<TFicheProduitView> vue([&](TFicheProduitView* v) {
            v->findChild<QSpinBox*>("seQuantite")->setValue(2);
            autre->Connexion().Executer("UPDATE Produit SET Stock = 1 WHERE IdProduit = 12");
            auto* affiche = v->findChild<QLabel*>("stQuantiteDispo");
            QTRY_COMPARE_WITH_TIMEOUT(affiche->text(), QString("1"), 3000);
            stock = affiche->text() + "/" + QString::number(v->findChild<QSpinBox*>("seQuantite")->value());
            v->findChild<QPushButton*>("btnOk")->click();
        });
        liste.lvProduitsDblClick();
        ATTENDRE_MODALE(vue);
        QCOMPARE(stock, QString("1/2"));

        // Categories renamed and added elsewhere: the tree follows, with the
        // category listed still current and a root the user collapsed kept
        // so; the list is not filled anew.
        auto* tv = liste.findChild<QTreeWidget*>("tvVisualisation");
        tv->collapseItem(Noeud(tv, "Standard"));
        const int ligne = LigneSelectionnee(lv);
        autre->Connexion().Executer("UPDATE ProduitType SET Libelle = 'Marteaux et masses' WHERE IdProduitType = 2");
        autre->Connexion().Executer("INSERT INTO ProduitType VALUES (0, 5, 1, 'Pinces')");
        QTRY_VERIFY_WITH_TIMEOUT(Noeud(tv, "Pinces") && Noeud(tv, "Marteaux et masses"), 3000);
        QCOMPARE(tv->currentItem()->text(0), QString("Marteaux et masses"));
        QVERIFY(!Noeud(tv, "Standard")->isExpanded() && Noeud(tv, "Outils")->isExpanded());
        QCOMPARE(LigneSelectionnee(lv), ligne);
        QCOMPARE(remises.count(), 0);
    }

    void produitDisparuNOuvreRien()
    {
        TCatalogueTest c;
        Remplir(c);
        TFicheProduitListe liste(c.Dm());
        ChoisirMarteau(liste);
        c.Sql("DELETE FROM Produit WHERE IdProduit = 10");
        TQuandModale<TFicheProduitView> vue;
        liste.lvProduitsDblClick();
        QVERIFY(vue.PasOuverte());
    }
};

// The windows on a catalogue file, then on the server.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return ExecuterSurLesDeuxMoteurs<TestViewer>(argc, argv);
}
#include "test_viewer.moc"
