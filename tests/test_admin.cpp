// Catalogue settings window: tree placement and selection, button states,
// the product list (content, order, text sort), deleting and moving a
// product, the import warning, the reorder list, a scanned code in
// "Rechercher", and a picture of the window.

#include "core/base/chemins.h"
#include "core/base/prompts.h"
#include "core/catalogue/historique.h"
#include "core/catalogue/reapprovisionnement.h"
#include "core/catalogue/produits.h"
#include "core/store/acces.h"
#include "core/store/dmkestravel.h"
#include "core/store/format.h"
#include "core/store/libpq.h"
#include "gui/admin/colonnesparametrage.h"
#include "gui/admin/ficheparametreproduit.h"
#include "gui/admin/ficheparametreproduittype.h"
#include "gui/admin/fichereapprovisionnement.h"
#include "gui/admin/ficheapercu.h"
#include "gui/product/ficheproduitaddorupdate.h"
#include "tests/modale.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

namespace {
void Categorie(TCatalogueTest& c, int ext, int id, const QVariant& parent, const QString& libelle)
{
    c.Sql("INSERT INTO ProduitType VALUES (?, ?, ?, ?)", {ext, id, parent, libelle});
}

void Produit(TCatalogueTest& c, int ext, int id, int type, const QString& libelle, double vente = 1, int stock = 1,
             const QString& lien = QString())
{
    c.Sql(
        "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference, PrixAchatHT, PrixTarifHT,"
        " PrixVenteHT, Stock, StockMini, Lien) VALUES (?, ?, ?, ?, ?, 1.5, 1234.5, ?, ?, 0, ?)",
        {ext, id, type, libelle, QStringLiteral("R%1").arg(id), vente, stock, lien});
}

// A product with its stock, minimum and codes, for the reorder list and
// the scan.
void ProduitStock(TCatalogueTest& c, int ext, int id, int type, int stock, int mini, const QString& reference,
                  const QString& code = {}, const QString& libelle = {})
{
    c.Sql(
        "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference, CodeExport, PrixAchatHT,"
        " PrixVenteHT, Stock, StockMini) VALUES (?, ?, ?, ?, ?, ?, ?, 1, ?, ?)",
        {ext, id, type, libelle.isEmpty() ? QStringLiteral("Produit %1").arg(id) : libelle, reference, code,
         id + 0.25, stock, mini});
}

QStringList Colonne(const QTreeView* liste, int colonne)
{
    QStringList r;
    for (int i = 0; i < liste->model()->rowCount(); ++i)
        r << liste->model()->index(i, colonne).data().toString();
    return r;
}

QTreeWidgetItem* Noeud(const QTreeWidget* arbre, const QString& libelle)
{
    const QList<QTreeWidgetItem*> t = arbre->findItems(libelle, Qt::MatchExactly | Qt::MatchRecursive);
    return t.isEmpty() ? nullptr : t.first();
}

// Labels of the tree, depth first, children indented by one space per level.
QStringList Plan(const QTreeWidgetItem* noeud, int niveau = 0)
{
    QStringList r{QString(niveau, ' ') + noeud->text(0)};
    for (int i = 0; i < noeud->childCount(); ++i)
        r << Plan(noeud->child(i), niveau + 1);
    return r;
}
}  // namespace

class TestAdmin : public QObject {
    Q_OBJECT

    QTemporaryDir m_admin;

    struct Fenetre {
        TFicheParametreProduit fiche;
        QTreeWidget* arbre;
        QTreeView* liste;
        explicit Fenetre(TdmKestravel& dm)
            : fiche(dm),
              arbre(fiche.findChild<QTreeWidget*>("tvProduitType")),
              liste(fiche.findChild<QTreeView*>("lvProduits"))
        {}
        bool Actif(const char* nom) const { return fiche.findChild<QPushButton*>(nom)->isEnabled(); }
        bool Hausse() const { return fiche.findChild<QAction*>("miHausse")->isEnabled(); }
        void Choisir(const QString& libelle) { arbre->setCurrentItem(Noeud(arbre, libelle)); }
        void ChoisirProduit(int id)
        {
            for (int i = 0; i < liste->model()->rowCount(); ++i)
                if (liste->model()->index(i, ColId).data().toInt() == id)
                    liste->setCurrentIndex(liste->model()->index(i, 0));
        }
        QPoint Centre(const QString& libelle) const { return arbre->visualItemRect(Noeud(arbre, libelle)).center(); }
    };

    // Outillage(1) ─ Marteaux(2); Peinture(4); Scies(3) hangs under 6 (read
    // later) and Lames(7) under Scies; Vis(5) under a missing 99.
    static void Arbre(TCatalogueTest& c)
    {
        Categorie(c, 0, 1, QVariant(), "Outillage");
        Categorie(c, 0, 2, 1, "Marteaux");
        Categorie(c, 0, 3, 6, "Scies");
        Categorie(c, 0, 4, 0, "peinture");
        Categorie(c, 0, 5, 99, "Vis");
        Categorie(c, 0, 6, 0, "Bois");
        Categorie(c, 0, 7, 3, "Lames");
        Categorie(c, 1, 1, 0, "Jardin");
    }

private slots:
    void initTestCase()
    {
        LocaleFrancaise();
        SetDossierAdministration(m_admin.path());
        VerifierDossiersImages();
    }

    void arbreEtSelection()
    {
        TCatalogueTest c;
        Arbre(c);
        Fenetre f(c.Dm());
        QCOMPARE(f.fiche.windowTitle(), QStringLiteral("Parametrage des produits - Version du 02/04/2024"));
        QCOMPARE(f.fiche.size(), QSize(984, 578));
        QCOMPARE(f.arbre->topLevelItemCount(), 1);
        // A parent read later or missing leaves the row out with its subtree;
        // every level sorted without regard to case, everything expanded.
        QCOMPARE(Plan(f.arbre->topLevelItem(0)),
                 QStringList({"Interne", " Bois", " Outillage", "  Marteaux", " peinture"}));
        QVERIFY(f.arbre->topLevelItem(0)->child(1)->isExpanded());
        QCOMPARE(f.arbre->currentItem(), f.arbre->topLevelItem(0));
        for (const char* b : {"btnSupprimer", "btnDuppliquer", "btnImprimer"})
            QVERIFY(!f.Actif(b));
        QVERIFY(f.Actif("btnAjouterProduit"));
        QVERIFY(!f.Hausse());

        f.fiche.SetCategorieASelectionner(2);
        f.fiche.RemplirArbreCategories();
        QCOMPARE(f.arbre->currentItem()->text(0), QStringLiteral("Marteaux"));
        QVERIFY(f.Hausse());
        // A category left out of the tree: nothing selected.
        f.fiche.SetCategorieASelectionner(3);
        f.fiche.RemplirArbreCategories();
        QVERIFY(f.arbre->selectedItems().isEmpty());
    }

    void selectionSansCategorieInterne()
    {
        TCatalogueTest c;
        {
            Fenetre f(c.Dm());  // empty table: no node selected, buttons as built
            QVERIFY(f.arbre->selectedItems().isEmpty());
            QVERIFY(f.Actif("btnSupprimer"));
        }
        Categorie(c, 1, 1, 0, "Jardin");
        Fenetre f(c.Dm());
        f.fiche.SetCategorieASelectionner(1);
        f.fiche.RemplirArbreCategories();
        QCOMPARE(f.arbre->currentItem(), f.arbre->topLevelItem(0));
        QCOMPARE(f.arbre->topLevelItem(0)->childCount(), 0);
    }

    void listeEtRacine()
    {
        TCatalogueTest c;
        Arbre(c);
        Produit(c, 0, 7, 2, "Maillet", 9, 3);
        Produit(c, 0, 2, 2, "Marteau", 2.675, 0);
        Produit(c, 0, 5, 2, "Massette", 2.5, -4);
        Produit(c, 1, 3, 2, "Externe", 1, 1);  // another origin, same category number
        Produit(c, 0, 8, 1, "Caisse", 1, 1);
        Fenetre f(c.Dm());
        f.Choisir("Marteaux");
        QCOMPARE(Colonne(f.liste, ColId), QStringList({"2", "5", "7"}));
        QStringList textes;
        for (int col = 0; col < NbColonnesProduit; ++col)
            textes << f.liste->model()->index(1, col).data().toString();
        QCOMPARE(textes, QStringList({"0", "5", "2", "Massette", "R5", "1234,50", "1,50", "2,50", ""}));
        QCOMPARE(Colonne(f.liste, ColStock), QStringList({"", "", "3"}));
        // The list shows what the shared amount format gives for the stored
        // value (2.675 would be 2,67 through single precision).
        QCOMPARE(Colonne(f.liste, ColPrixVente).first(), Montant(2.675));
        TLignesProduits grand;
        TLignesProduits::Ligne l;
        l.prixVenteHT = 1234567.89;
        grand.Ajouter(l, QStringView(), QStringView());
        QCOMPARE(grand.Texte(0, TChampProduit::PrixVenteHT), QString("1234567,89"));
        QVERIFY(f.Actif("btnSupprimer") && f.Actif("btnDuppliquer") && f.Actif("btnImprimer"));
        QCOMPARE(f.liste->columnWidth(ColId), 1);
        QCOMPARE(f.liste->header()->sectionResizeMode(ColExterne), QHeaderView::Fixed);

        // The root disables the actions but keeps the list and "Ajouter".
        f.Choisir("Interne");
        QCOMPARE(f.liste->model()->rowCount(), 3);
        QVERIFY(!f.Actif("btnSupprimer") && !f.Actif("btnDuppliquer") && !f.Actif("btnImprimer"));
        QVERIFY(!f.Hausse());
        QVERIFY(f.Actif("btnAjouterProduit"));

        // A category without products.
        f.Choisir("peinture");
        QCOMPARE(f.liste->model()->rowCount(), 0);
        QVERIFY(!f.Actif("btnSupprimer") && !f.Actif("btnDuppliquer") && !f.Actif("btnImprimer"));
        QVERIFY(f.Hausse());
    }

    void triParTexte()
    {
        QCOMPARE(ComparerTexteTri(u"abc", u"ABC"), 0);
        QVERIFY(ComparerTexteTri(u"ab", u"abc") < 0);
        QVERIFY(ComparerTexteTri(u"10,00", u"9,00") < 0);
        QVERIFY(ComparerTexteTri(u"Z", u"_") < 0);  // letters fold to capitals, then by code
        QVERIFY(ComparerTexteTri(u"z", u"_") < 0);
        QVERIFY(ComparerTexteTri(u"E", u"é") < 0);  // only A to Z fold

        TCatalogueTest c;
        Arbre(c);
        Produit(c, 0, 1, 2, "b", 9, 12);
        Produit(c, 0, 2, 2, "C", 10, 0);
        Produit(c, 0, 3, 2, "a", 9.5, 5);
        Produit(c, 0, 4, 2, "B", 100, -1);
        Fenetre f(c.Dm());
        f.Choisir("Marteaux");
        emit f.liste->header()->sectionClicked(ColStock);
        QCOMPARE(TFicheParametreProduit::ColonneTri(), int(ColStock));
        QCOMPARE(Colonne(f.liste, ColStock), QStringList({"", "", "12", "5"}));
        f.fiche.lvProduitsColumnClick(ColPrixVente);
        QCOMPARE(Colonne(f.liste, ColPrixVente), QStringList({"10,00", "100,00", "9,00", "9,50"}));
        f.fiche.lvProduitsColumnClick(ColLibelle);
        QCOMPARE(Colonne(f.liste, ColLibelle).join("").toUpper(), QStringLiteral("ABBC"));
        f.fiche.lvProduitsColumnClick(ColLibelle);  // again: still ascending
        QCOMPARE(Colonne(f.liste, ColLibelle).first(), QStringLiteral("a"));
        // A reload lists by number again.
        f.fiche.AfficherProduits(0, 2);
        QCOMPARE(Colonne(f.liste, ColId), QStringList({"1", "2", "3", "4"}));
    }

    void triDesEgauxEtSelection()
    {
        TCatalogueTest c;
        Arbre(c);
        // Ties on the label and on the (empty) stock cell.
        Produit(c, 0, 1, 2, "vis", 3, 0);
        Produit(c, 0, 2, 2, "Clou", 1, 5);
        Produit(c, 0, 3, 2, "VIS", 2, -2);
        Produit(c, 0, 4, 2, "clou", 4, 0);
        Fenetre f(c.Dm());
        f.Choisir("Marteaux");
        f.ChoisirProduit(3);
        // Equal texts keep the order they had: the sort is stable, as the
        // list's was.
        f.fiche.lvProduitsColumnClick(ColLibelle);
        QCOMPARE(Colonne(f.liste, ColId), QStringList({"2", "4", "1", "3"}));
        f.fiche.lvProduitsColumnClick(ColPrixVente);
        QCOMPARE(Colonne(f.liste, ColId), QStringList({"2", "3", "1", "4"}));
        f.fiche.lvProduitsColumnClick(ColStock);
        QCOMPARE(Colonne(f.liste, ColId), QStringList({"3", "1", "4", "2"}));
        // The selection follows its product through the sorts.
        QCOMPARE(f.fiche.ProduitSelectionne()->GetIdProduit(), 3);
        QCOMPARE(f.liste->currentIndex().row(), 0);
    }

    // A till sells while the list is shown and while the product's editor is
    // open (then other workstations change categories): the sorted list
    // follows with its selection, "Valider" with
    // nothing touched keeps the sale, a stock typed meanwhile is asked about
    // (Cancel keeps the editor and what was typed, OK writes it) and the
    // history adds up.
    void ventesPendantLaModification()
    {
        TCatalogueTest c;
        Arbre(c);
        Produit(c, 0, 3, 2, "Marteau", 26, 10);
        Produit(c, 0, 4, 2, "Clou", 1, 5);
        Fenetre f(c.Dm());
        f.fiche.show();
        f.Choisir("Marteaux");
        f.fiche.lvProduitsColumnClick(ColLibelle);
        f.ChoisirProduit(3);
        const auto caisse = c.AutreConnexion();
        const auto vendre = [&](int de, int a) {
            caisse->Connexion().Executer(QStringLiteral("UPDATE Produit SET Stock = %1 WHERE IdProduit = 3").arg(a));
            AjouterMouvementStock(caisse->Connexion(), 0, 3, QVariant(2), de, a, "Vente");
        };
        TPromptsScriptes prompts;
        vendre(10, 9);
        QTRY_COMPARE_WITH_TIMEOUT(Colonne(f.liste, ColStock), QStringList({"5", "9"}), 3000);
        QCOMPARE(Colonne(f.liste, ColId), QStringList({"4", "3"}));
        QCOMPARE(f.fiche.ProduitSelectionne()->GetIdProduit(), 3);

        TQuandModale<TFicheProduitAddOrUpdate> rien([&](TFicheProduitAddOrUpdate* e) {
            vendre(9, 6);
            e->findChild<QPushButton*>("btnOk")->click();
        });
        f.fiche.lvProduitsDblClick();
        ATTENDRE_MODALE(rien);
        QCOMPARE(c.Entier("SELECT Stock FROM Produit WHERE IdProduit = 3"), 6);

        prompts.RepondreConfirmation(false);
        prompts.RepondreConfirmation(true);
        QStringList apresAnnulation;
        f.ChoisirProduit(3);
        TQuandModale<TFicheProduitAddOrUpdate> saisie([&](TFicheProduitAddOrUpdate* e) {
            auto* stock = e->findChild<QSpinBox*>("seQuantiteDispo");
            stock->setValue(20);
            vendre(6, 4);
            e->findChild<QPushButton*>("btnOk")->click();
            apresAnnulation << QString::number(e->isVisible()) << QString::number(stock->value())
                            << QString::number(c.Entier("SELECT Stock FROM Produit WHERE IdProduit = 3"));
            e->findChild<QPushButton*>("btnOk")->click();
        });
        f.fiche.lvProduitsDblClick();
        ATTENDRE_MODALE(saisie);
        QCOMPARE(apresAnnulation, QStringList({"1", "20", "4"}));
        const QString question =
            "Le stock a changé pendant la modification : 6 à l'ouverture, 4 maintenant. Enregistrer 20 ?";
        QCOMPARE(prompts.Textes(IPrompts::Genre::Confirmation), QStringList({question, question}));
        QStringList historique;
        for (const TMouvementStock& m : LireMouvementsStock(c.Dm(), 0, 3))
            historique << QStringLiteral("%1→%2").arg(m.quantiteOld).arg(m.quantiteNew);
        QCOMPARE(historique.join(' '), QString("10→9 9→6 6→4 4→20"));

        // Another workstation adds and renames categories: the tree follows
        // as the user left it, the list keeps its rows and selection; a
        // category deleted elsewhere while shown leaves nothing selected.
        f.ChoisirProduit(3);
        f.arbre->collapseItem(Noeud(f.arbre, "Outillage"));
        f.arbre->setFixedHeight(40);
        QTRY_VERIFY(f.arbre->verticalScrollBar()->maximum() > 0);
        f.arbre->verticalScrollBar()->setValue(1);
        QSignalSpy remplissages(f.liste->model(), &QAbstractItemModel::modelReset);
        caisse->Connexion().Executer("INSERT INTO ProduitType VALUES (0, 8, 1, 'Pinces')");
        caisse->Connexion().Executer("UPDATE ProduitType SET Libelle = 'Peintures' WHERE IdProduitType = 4");
        QTRY_VERIFY_WITH_TIMEOUT(Noeud(f.arbre, "Peintures"), 3000);
        QCOMPARE(Plan(f.arbre->topLevelItem(0)),
                 QStringList({"Interne", " Bois", " Outillage", "  Marteaux", "  Pinces", " Peintures"}));
        QCOMPARE(f.arbre->currentItem()->text(0), QString("Marteaux"));
        QVERIFY(!Noeud(f.arbre, "Outillage")->isExpanded());
        QCOMPARE(f.arbre->verticalScrollBar()->value(), 1);
        QCOMPARE(f.fiche.ProduitSelectionne()->GetIdProduit(), 3);
        QCOMPARE(remplissages.count(), 0);
        f.Choisir("Peintures");
        caisse->Connexion().Executer("DELETE FROM ProduitType WHERE IdProduitType = 4");
        QTRY_VERIFY_WITH_TIMEOUT(!Noeud(f.arbre, "Peintures"), 3000);
        QVERIFY(f.arbre->selectedItems().isEmpty());
        QVERIFY(!f.Hausse() && !f.Actif("btnImprimer"));
    }

    void suppression()
    {
        TCatalogueTest c;
        Arbre(c);
        Produit(c, 0, 7, 2, "Maillet", 9, 3, "7.jpg");
        Produit(c, 0, 8, 2, "Marteau", 9, 3, "../hors.txt");
        Produit(c, 0, 9, 2, "Massette");
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (0, 1, 'Poids', 'g')");
        c.Sql("INSERT INTO ProduitCarac VALUES (0, 7, 1, '500')");
        c.Sql("INSERT INTO ProduitCarac VALUES (0, 9, 1, '800')");
        c.Sql(
            "INSERT INTO \"Transaction\" (Externe, IdProduit, QuantiteOld, QuantiteNew, Libelle)"
            " VALUES (0, 7, 0, 3, 'Ajout')");
        const QString image = CheminImagesInterne() + "7.jpg";
        const QString dehors = CheminImages() + "hors.txt";
        EcrireFichier(image, "image");
        EcrireFichier(dehors, "à garder");

        Fenetre f(c.Dm());
        f.Choisir("Marteaux");
        f.ChoisirProduit(7);
        const std::optional<TProduit> lu = f.fiche.ProduitSelectionne();
        QVERIFY(lu);
        QCOMPARE(lu->GetLien(), QStringLiteral("7.jpg"));
        QCOMPARE(lu->GetCaracValeurs()->size(), 1);

        TPromptsScriptes prompts;
        prompts.RepondreConfirmation(false);
        f.fiche.btnSupprimerClick();
        QCOMPARE(prompts.Textes(IPrompts::Genre::Confirmation),
                 QStringList{"Vous voulez vraiment supprimer le produit?"});
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit"), 3);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitCarac"), 2);
        QVERIFY(QFile::exists(image));

        f.ChoisirProduit(7);
        prompts.RepondreConfirmation(true);
        f.fiche.btnSupprimerClick();
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit WHERE IdProduit = 7"), 0);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitCarac"), 1);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM \"Transaction\""), 1);
        QVERIFY(!QFile::exists(image));
        QCOMPARE(Colonne(f.liste, ColId), QStringList({"8", "9"}));

        // A link that leaves the image folder is never followed.
        f.ChoisirProduit(8);
        prompts.RepondreConfirmation(true);
        f.fiche.btnSupprimerClick();
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit WHERE IdProduit = 8"), 0);
        QVERIFY(QFile::exists(dehors));

        // A row that vanished meanwhile: no question, nothing done.
        f.ChoisirProduit(9);
        c.Sql("DELETE FROM Produit WHERE IdProduit = 9");
        prompts.Effacer();
        f.fiche.SupprimerProduit();
        QVERIFY(prompts.Traces().isEmpty());
    }

    void glisserDeposer()
    {
        TCatalogueTest c;
        Arbre(c);
        Produit(c, 0, 7, 2, "Maillet");
        Produit(c, 0, 8, 2, "Marteau");
        c.Sql("INSERT INTO ProduitCarac VALUES (0, 7, 1, '500')");
        Fenetre f(c.Dm());
        f.fiche.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.fiche));
        f.Choisir("Marteaux");
        f.ChoisirProduit(7);
        QTreeWidgetItem* marteaux = f.arbre->currentItem();
        TPromptsScriptes prompts;

        QVERIFY(f.fiche.tvProduitTypeDragOver(f.liste));
        QVERIFY(!f.fiche.tvProduitTypeDragOver(f.arbre));
        f.fiche.tvProduitTypeDragDrop(f.arbre, f.Centre("Bois"));  // not from the list
        f.fiche.tvProduitTypeDragDrop(f.liste, QPoint(5, f.arbre->viewport()->height() - 2));  // beside the nodes
        QCOMPARE(c.Entier("SELECT IdProduitType FROM Produit WHERE IdProduit = 7"), 2);

        f.fiche.tvProduitTypeDragDrop(f.liste, f.Centre("Interne"));
        QCOMPARE(prompts.Textes(IPrompts::Genre::Information),
                 QStringList{"Impossible de placer un produit dans la racine Interne"});
        QCOMPARE(c.Entier("SELECT IdProduitType FROM Produit WHERE IdProduit = 7"), 2);

        f.ChoisirProduit(7);
        f.fiche.tvProduitTypeDragDrop(f.liste, f.Centre("Bois"));
        QCOMPARE(c.Entier("SELECT IdProduitType FROM Produit WHERE IdProduit = 7"), 6);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitCarac WHERE IdProduit = 7"), 1);
        QCOMPARE(Colonne(f.liste, ColId), QStringList{"8"});  // the former category, without it
        QCOMPARE(f.arbre->currentItem(), marteaux);
        QCOMPARE(prompts.Messages().size(), 1);
    }

    void avertissementImport()
    {
        TCatalogueTest c;
        Fenetre f(c.Dm());
        TPromptsScriptes prompts;
        // After the warning the import window opens.
        TQuandModale<> importation;
        f.fiche.findChild<QPushButton*>("btnImport")->click();
        ATTENDRE_MODALE(importation);
        QCOMPARE(importation.Classe(), QString("TFicheImportation"));
        QCOMPARE(
            prompts.Textes(IPrompts::Genre::Message),
            QStringList{"ATTENTION \n\nAvant toute utilisation de cet écran, veuillez faire une "
                        "sauvegarde/copie de la base de données : \""
                        + (g_serveur ? NomServeur(c.Serveur()) : QFileInfo(c.Chemin()).absoluteFilePath()) + "\"."});
        QCOMPARE(f.fiche.findChild<QPushButton*>("btnExport")->toolTip(), QStringLiteral("Exporter"));
        QVERIFY(!f.fiche.findChild<QPushButton*>("btnImport")->icon().isNull());
    }

    // The reorder list of a category takes its subcategories at any depth;
    // a product is listed when its minimum is set and its stock at or below
    // it, the biggest shortfall first, the equal ones by number.
    void reapprovisionnement_data()
    {
        QTest::addColumn<QString>("categorie");
        QTest::addColumn<QList<int>>("produits");
        QTest::newRow("tout le catalogue") << "Interne" << QList<int>{5, 2, 8, 7, 1};
        QTest::newRow("catégorie et sous-catégorie") << "Outillage" << QList<int>{2, 8, 1};
        QTest::newRow("sous-catégorie seule") << "Marteaux" << QList<int>{2, 8};
        QTest::newRow("descendante sur deux niveaux") << "Bois" << QList<int>{7};
        QTest::newRow("minimum 0 exclu") << "peinture" << QList<int>{5};
        QTest::newRow("aucun produit") << "Vide" << QList<int>{};
    }
    void reapprovisionnement()
    {
        QFETCH(QString, categorie);
        QFETCH(QList<int>, produits);
        TCatalogueTest c;
        Arbre(c);
        Categorie(c, 0, 8, 0, "Vide");
        ProduitStock(c, 0, 1, 1, 5, 5, "EGAL");  // stock equal to the minimum
        ProduitStock(c, 0, 2, 2, 1, 4, "MAR;1", {}, "Marteau; « 500 g » → manche");
        ProduitStock(c, 0, 3, 1, 6, 5, "AU-DESSUS");
        ProduitStock(c, 0, 4, 4, -2, 0, "SANS-MINI");  // minimum 0: never listed
        ProduitStock(c, 0, 5, 4, -3, 2, "NEGATIF");
        ProduitStock(c, 1, 6, 1, 0, 9, "EXTERNE");  // another origin
        ProduitStock(c, 0, 7, 7, 0, 1, "LAME");
        ProduitStock(c, 0, 8, 2, 1, 4, "MAR2");
        Fenetre f(c.Dm());
        f.Choisir(categorie);
        auto* bouton = f.fiche.findChild<QPushButton*>("btnReapprovisionner");
        QCOMPARE(bouton->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));

        QList<int> listes;
        QStringList premiere, portee;
        bool imprimable = true;
        TQuandModale<TFicheReapprovisionnement> fiche([&](TFicheReapprovisionnement* w) {
            const TListeReapprovisionnement& l = w->Modele().Liste();
            for (int i = 0; i < l.Taille(); ++i)
                listes << l.Ligne(i).idProduit;
            for (int col = 0; col < NbColonnesReappro && l.Taille() > 0; ++col)
                premiere << w->Modele().index(0, col).data().toString();
            portee << w->Portee();
            imprimable = w->findChild<QPushButton*>("btnImprimer")->isEnabled();
        });
        bouton->click();
        ATTENDRE_MODALE(fiche);
        QCOMPARE(listes, produits);
        QCOMPARE(imprimable, !produits.isEmpty());
        QVERIFY(portee.value(0).startsWith(categorie == "Interne" ? QStringLiteral("Tout le catalogue")
                                                                  : "Catégorie « " + categorie + " »"));
        if (categorie != "Interne")
            return;
        // Reference, label, stock, minimum, shortfall, purchase price.
        QCOMPARE(premiere, (QStringList{"NEGATIF", "Produit 5", "-3", "2", "5", "5,25"}));

        // The CSV file: Windows-1252, every field quoted and followed by a
        // semicolon, CR LF; a product text loses its semicolons, a character
        // the code page lacks becomes "?".
        const QByteArray attendu =
            "\"R\xe9" "f\xe9rence\";\"Libell\xe9\";\"Stock\";\"Minimum\";\"Manque\";\"Prix achat HT\";\r\n"
            "\"NEGATIF\";\"Produit 5\";\"-3\";\"2\";\"5\";\"5,25\";\r\n"
            "\"MAR1\";\"Marteau \xab 500 g \xbb ? manche\";\"1\";\"4\";\"3\";\"2,25\";\r\n"
            "\"MAR2\";\"Produit 8\";\"1\";\"4\";\"3\";\"8,25\";\r\n"
            "\"LAME\";\"Produit 7\";\"0\";\"1\";\"1\";\"7,25\";\r\n"
            "\"EGAL\";\"Produit 1\";\"5\";\"5\";\"0\";\"1,25\";\r\n";
        QTemporaryDir dossier;
        const QString chemin = dossier.filePath("reappro");
        TPromptsScriptes prompts;
        prompts.RepondreFichier(chemin);
        int pages = 0, enregistrements = 0;
        TQuandModale<TFicheReapprovisionnement> exporter([&](TFicheReapprovisionnement* w) {
            w->btnExporterCsvClick();
            TQuandModale<TFicheApercu> apercu([&](TFicheApercu* a) { pages = a->Vue()->NombrePages(); });
            w->btnImprimerClick();
            apercu.Attendre();
            enregistrements = TRapportReapprovisionnement(w->Modele().Liste(), w->Portee()).donnees.RangeEndCount;
        });
        QTest::keyClick(bouton, Qt::Key_Space);
        ATTENDRE_MODALE(exporter);
        QFile fichier(chemin + ".csv");
        QVERIFY(fichier.open(QIODevice::ReadOnly));
        QCOMPARE(fichier.readAll(), attendu);
        QCOMPARE(pages, 1);
        QCOMPARE(enregistrements, 5);
    }

    // A code read by a scanner, then Enter: one product opens in the editor,
    // several are listed, none is said and the text stays selected. Letter
    // case and blanks around do not matter; other origins are not searched.
    void codeLu_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("ouvert");
        QTest::addColumn<QStringList>("liste");
        QTest::addColumn<QString>("etat");
        // After the editor the search of the text is shown again.
        QTest::newRow("référence") << "mar500" << "Marteau 500" << QStringList{} << "1 produit trouvé.";
        QTest::newRow("code export") << " k0-0002 " << "Tournevis" << QStringList{} << "1 produit trouvé.";
        QTest::newRow("plusieurs") << "DOUBLE" << QString() << QStringList{"3", "4"}
                                   << "2 produits ont la référence ou le code export « DOUBLE ».";
        QTest::newRow("aucun") << "MAR50" << QString() << QStringList{}
                               << "Aucun produit n'a la référence ou le code export « MAR50 ».";
        QTest::newRow("autre origine") << "JARDIN1" << QString() << QStringList{}
                                       << "Aucun produit n'a la référence ou le code export « JARDIN1 ».";
    }
    void codeLu()
    {
        QFETCH(QString, code);
        QFETCH(QString, ouvert);
        QFETCH(QStringList, liste);
        QFETCH(QString, etat);
        TCatalogueTest c;
        Arbre(c);
        ProduitStock(c, 0, 1, 2, 3, 0, "MAR500", "K0-0001", "Marteau 500");
        ProduitStock(c, 0, 2, 1, 3, 0, "TRV", "K0-0002", "Tournevis");
        ProduitStock(c, 0, 3, 4, 3, 0, "double", "K0-0003");
        ProduitStock(c, 0, 4, 6, 3, 0, "X4", "Double");
        ProduitStock(c, 1, 5, 1, 3, 0, "JARDIN1");
        Fenetre f(c.Dm());
        f.Choisir("peinture");
        auto* champ = f.fiche.findChild<QLineEdit*>("edtRecherche");
        // The new catalogue's search index is built in the background; the
        // status line names it until then.
        QTRY_VERIFY_WITH_TIMEOUT(!champ->placeholderText().startsWith("Index de recherche"), 30000);
        QString lu;
        TQuandModale<TFicheProduitAddOrUpdate> editeur([&](TFicheProduitAddOrUpdate* w) {
            lu = w->findChild<QLineEdit*>("edtLibelle")->text();
            w->reject();
        });
        QTest::keyClicks(champ, code);
        QTest::keyClick(champ, Qt::Key_Return);
        if (ouvert.isEmpty())
            QVERIFY(editeur.PasOuverte());
        else
            ATTENDRE_MODALE(editeur);
        QCOMPARE(lu, ouvert);
        QTRY_COMPARE(f.fiche.findChild<QLabel*>("lbRecherche")->text(), etat);
        if (!liste.isEmpty())
            QCOMPARE(Colonne(f.liste, ColId), liste);
        // Ready for the next scan: typing replaces the text.
        QCOMPARE(champ->selectedText(), champ->text());
        QCOMPARE(champ->text(), code);
    }

    // Category management reports its selection; the main window selects it.
    void retourGestionCategories()
    {
        TCatalogueTest c;
        Arbre(c);
        Produit(c, 0, 7, 2, "Maillet");
        Fenetre f(c.Dm());
        TQuandModale<TFicheParametreProduitType> gestion([&](TFicheParametreProduitType* fiche) {
            auto* arbre = fiche->findChild<QTreeWidget*>("tvProduitType");
            arbre->setCurrentItem(Noeud(arbre, "Marteaux"));
            fiche->close();
        });
        f.fiche.findChild<QPushButton*>("btnAjouterProduitType")->click();
        ATTENDRE_MODALE(gestion);
        QCOMPARE(f.fiche.GetCategorieASelectionner(), 2);
        QCOMPARE(f.arbre->currentItem()->text(0), QStringLiteral("Marteaux"));
        QCOMPARE(Colonne(f.liste, ColId), QStringList{"7"});
    }

    // The window on the demo catalogue, saved for a reviewer to look at.
    void capture()
    {
        const QString build = qEnvironmentVariable("KESTRAVEL_BUILD");
        const QString outil = qEnvironmentVariable("KESTRAVEL_DB_BIN");
        if (build.isEmpty() || outil.isEmpty())
            QSKIP("KESTRAVEL_BUILD / KESTRAVEL_DB_BIN not set");
        QTemporaryDir demo;
        QCOMPARE(QProcess::execute(outil, {"demo", demo.path()}), 0);
        SetDossierAdministration(demo.filePath("Administration"));
        {
            TdmKestravel dm(demo.filePath("Modules/Kestravel/Kestravel.abs"));
            TFicheParametreProduit fiche(dm);
            fiche.show();
            QVERIFY(QTest::qWaitForWindowExposed(&fiche));
            auto* arbre = fiche.findChild<QTreeWidget*>("tvProduitType");
            arbre->setCurrentItem(Noeud(arbre, QStringLiteral("Outillage à main")));
            QCOMPARE(fiche.findChild<QTreeView*>("lvProduits")->model()->rowCount(), 3);
            QDir(build).mkpath("captures");
            const QString fichier = build + "/captures/ficheparametreproduit.png";
            QVERIFY(fiche.grab().save(fichier));
            qInfo() << "capture :" << fichier;
        }
        SetDossierAdministration(m_admin.path());
    }
};

// The windows on a catalogue file, then on the server.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return ExecuterSurLesDeuxMoteurs<TestAdmin>(argc, argv);
}
#include "test_admin.moc"
