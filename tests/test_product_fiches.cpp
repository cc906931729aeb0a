// The product windows under the offscreen platform: the editor, the
// characteristics assignment, the definitions and the stock history.
#include "core/base/chemins.h"
#include "core/base/prompts.h"
#include "core/store/acces.h"
#include "core/store/catalogue.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "gui/product/ficheajoutercarac.h"
#include "gui/product/ficheparametrecarac.h"
#include "gui/product/ficheproduitaddorupdate.h"
#include "gui/product/fichestockhistorique.h"
#include "tests/modale.h"
#include "tests/soutien.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>

namespace {
using Genre = IPrompts::Genre;

// Scripted prompts that also keep the input boxes' prefilled texts and can
// accept them unchanged.
class TPromptsSaisie : public TPromptsScriptes {
public:
    QStringList defauts;
    int accepterDefaut = 0;
    std::optional<QString> Saisir(const QString& titre, const QString& invite, const QString& defaut) override
    {
        defauts << titre + "|" + invite + "|" + defaut;
        if (accepterDefaut > 0) {
            --accepterDefaut;
            TPromptsScriptes::Saisir(titre, invite, defaut);
            return defaut;
        }
        return TPromptsScriptes::Saisir(titre, invite, defaut);
    }
};

template <class T>
T* Controle(QWidget* w, const char* nom)
{
    T* c = w->findChild<T*>(nom);
    if (!c)
        qFatal("contrôle %s introuvable", nom);
    return c;
}

void Cliquer(QWidget* w, const char* nom) { Controle<QPushButton>(w, nom)->click(); }

QStringList Colonne(QTreeWidget* liste, int colonne)
{
    QStringList r;
    for (int i = 0; i < liste->topLevelItemCount(); ++i)
        r << liste->topLevelItem(i)->text(colonne);
    return r;
}

// Selects the row whose column holds the text.
void Choisir(QWidget* w, const char* liste, int colonne, const QString& texte)
{
    auto* l = Controle<QTreeWidget>(w, liste);
    const QList<QTreeWidgetItem*> trouves = l->findItems(texte, Qt::MatchExactly | Qt::MatchRecursive, colonne);
    if (trouves.isEmpty())
        qFatal("ligne introuvable");
    l->setCurrentItem(trouves.first());
}
}  // namespace

class TestFichesProduit : public QObject {
    Q_OBJECT
    QTemporaryDir m_admin;
    std::unique_ptr<TCatalogueTest> m_cat;
    TdmKestravel& Dm() { return m_cat->Dm(); }
    void Sql(const QString& s, const QVariantList& v = {}) { m_cat->Sql(s, v); }
    int Entier(const QString& s, const QVariantList& v = {}) { return m_cat->Entier(s, v); }

    std::unique_ptr<TProduit> Charger(int id, int categorie)
    {
        auto p = std::make_unique<TProduit>(*LireProduit(Dm(), 0, id, categorie));
        p->SetCaracValeurs(ChargerCaracValeurs(Dm(), *p));
        return p;
    }

private slots:
    void initTestCase()
    {
        LocaleFrancaise();
        SetDossierAdministration(m_admin.path());
        VerifierDossiersImages();
    }
    void init()
    {
        m_cat = std::make_unique<TCatalogueTest>();
        Sql("INSERT INTO ProduitType VALUES (0, 3, 0, 'Visserie'), (0, 4, 0, 'Outillage'), (0, 5, 3, 'Boulons'),"
            " (0, 6, 99, 'Orpheline'), (1, 3, 0, 'Catégorie externe')");
        Sql("INSERT INTO ProduitTypeCarac VALUES (0, 1, 'Poids', 'kg'), (0, 2, 'Couleur', ''),"
            " (1, 7, 'Étain', 'g')");
    }
    void cleanup() { m_cat.reset(); }

    void ajoutDepuisLaFenetre()
    {
        TPromptsScriptes prompts;
        TFicheProduitAddOrUpdate fiche(Dm(), nullptr);
        fiche.SetCategorieInitiale(5);
        fiche.show();
        QCOMPARE(fiche.windowTitle(), QString("Ajouter un produit"));
        auto* arbre = Controle<QTreeWidget>(&fiche, "tvProduitType");
        QCOMPARE(arbre->topLevelItemCount(), 1);
        QTreeWidgetItem* racine = arbre->topLevelItem(0);
        QCOMPARE(racine->text(0), QString("Interne"));
        QCOMPARE(racine->childCount(), 2);  // sorted, no orphan, no other origin
        QCOMPARE(racine->child(0)->text(0), QString("Outillage"));
        QCOMPARE(racine->child(1)->text(0), QString("Visserie"));
        QCOMPARE(arbre->selectedItems().value(0)->text(0), QString("Boulons"));
        QCOMPARE(Controle<QDateEdit>(&fiche, "dtpProduit")->date(), QDate::currentDate());
        for (const char* img : {"imgGris", "imgOrange", "imgRouge", "imgVert"})
            QVERIFY(!Controle<QLabel>(&fiche, img)->isVisible());
        QCOMPARE(Controle<QLabel>(&fiche, "pImage")->text(), QString("Aucune image"));
        QCOMPARE(Controle<QLineEdit>(&fiche, "edtReference")->maxLength(), 10);
        QCOMPARE(Controle<QLineEdit>(&fiche, "edtCodeExport")->maxLength(), 30);
        QCOMPARE(Controle<QLineEdit>(&fiche, "edtLibelle")->maxLength(), 255);

        // Empty label: refused, window open, focus on the label.
        Cliquer(&fiche, "btnOk");
        QCOMPARE(prompts.DernierMessage(), QString("Veuillez renseigner un libellé"));
        QVERIFY(fiche.isVisible());
        QCOMPARE(fiche.focusWidget(), Controle<QLineEdit>(&fiche, "edtLibelle"));

        auto* description = Controle<QTextEdit>(&fiche, "reDescription");
        description->setPlainText(QString(3000, 'a'));
        QCOMPARE(description->toPlainText().size(), 2048);
        Controle<QLineEdit>(&fiche, "edtLibelle")->setText("Boulon M8");
        Controle<QDoubleSpinBox>(&fiche, "edtVenteHT")->setValue(1.5);
        Controle<QSpinBox>(&fiche, "seQuantiteDispo")->setValue(-3);
        Cliquer(&fiche, "btnOk");
        QCOMPARE(fiche.result(), int(QDialog::Accepted));
        QCOMPARE(fiche.GetCategorieCible(), 5);
        QCOMPARE(Entier("SELECT IdProduitType FROM Produit WHERE Libelle = 'Boulon M8'"), 5);
        QCOMPARE(Entier("SELECT LENGTH(Description) FROM Produit"), 2048);
        QCOMPARE(Entier("SELECT Stock FROM Produit"), -3);
        QCOMPARE(Entier("SELECT COUNT(*) FROM \"Transaction\""), 0);
    }

    void ajoutALaRacine()
    {
        TPromptsScriptes prompts;
        TFicheProduitAddOrUpdate fiche(Dm(), nullptr);
        fiche.SetCategorieInitiale(0);
        fiche.show();
        QCOMPARE(Controle<QTreeWidget>(&fiche, "tvProduitType")->selectedItems().value(0)->text(0), QString("Interne"));
        Controle<QLineEdit>(&fiche, "edtLibelle")->setText("Vis");
        Cliquer(&fiche, "btnOk");
        QCOMPARE(prompts.DernierMessage(), QString("Impossible de placer un produit dans la racine Interne"));
        QVERIFY(fiche.isVisible());
        QCOMPARE(Entier("SELECT COUNT(*) FROM Produit"), 0);

        // Corrected, then saved.
        Choisir(&fiche, "tvProduitType", 0, "Outillage");
        Cliquer(&fiche, "btnOk");
        QVERIFY(!fiche.isVisible());
        QCOMPARE(fiche.GetCategorieCible(), 4);
        QCOMPARE(Entier("SELECT IdProduitType FROM Produit"), 4);
    }

    void selectionInitiale()
    {
        TPromptsScriptes prompts;
        {
            // A category that is not shown: nothing selected, the save asks for one.
            TFicheProduitAddOrUpdate fiche(Dm(), nullptr);
            fiche.SetCategorieInitiale(6);
            fiche.show();
            QVERIFY(Controle<QTreeWidget>(&fiche, "tvProduitType")->selectedItems().isEmpty());
            Controle<QLineEdit>(&fiche, "edtLibelle")->setText("Vis");
            Cliquer(&fiche, "btnOk");
            QCOMPARE(prompts.DernierMessage(), QString("Veuillez choisir la catégorie du produit"));
            QVERIFY(fiche.isVisible());
        }
        // Only other origins' categories: the root.
        Sql("DELETE FROM ProduitType WHERE Externe = 0");
        TFicheProduitAddOrUpdate fiche(Dm(), nullptr);
        fiche.SetCategorieInitiale(3);
        fiche.show();
        auto* arbre = Controle<QTreeWidget>(&fiche, "tvProduitType");
        QCOMPARE(arbre->topLevelItem(0)->childCount(), 0);
        QCOMPARE(arbre->selectedItems().value(0), arbre->topLevelItem(0));
    }

    void modificationDepuisLaFenetre()
    {
        TPromptsScriptes prompts;
        QImage(30, 20, QImage::Format_RGB32).save(CheminImagesInterne() + "5.bmp");
        Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference, Lien, PrixAchatHT,"
            " PrixTarifHT, PrixVenteHT, Stock, StockMini, DateCreation)"
            " VALUES (0, 5, 3, 'Vis', 'R5', '5.bmp', 12.5, 3, 19.999, 3, 3, '2024-03-18 00:00:00.000')");
        Sql("INSERT INTO ProduitCarac VALUES (0, 5, 1, '12')");
        auto p = Charger(5, 3);
        TFicheProduitAddOrUpdate fiche(Dm(), p.get());
        fiche.SetCategorieInitiale(3);
        fiche.show();
        QCOMPARE(fiche.windowTitle(), QString("Modifier un produit"));
        QCOMPARE(Controle<QDoubleSpinBox>(&fiche, "edtAchatHT")->text(), QString("12,50"));
        QCOMPARE(Controle<QDoubleSpinBox>(&fiche, "edtTarifHT")->text(), QString("3,00"));
        QCOMPARE(Controle<QDoubleSpinBox>(&fiche, "edtVenteHT")->text(), QString("20,00"));
        QCOMPARE(Controle<QDateEdit>(&fiche, "dtpProduit")->date(), QDate(2024, 3, 18));
        QCOMPARE(Controle<QLineEdit>(&fiche, "edtLien")->text(), QString("5.bmp"));
        QVERIFY(Controle<QLabel>(&fiche, "imgOrange")->isVisible());
        for (const char* img : {"imgGris", "imgRouge", "imgVert"})
            QVERIFY(!Controle<QLabel>(&fiche, img)->isVisible());
        QCOMPARE(Controle<QLabel>(&fiche, "pImage")->text(), QString());  // image shown
        auto* caracs = Controle<QTreeWidget>(&fiche, "lvCaracs");
        QCOMPARE(caracs->topLevelItem(0)->text(2) + caracs->topLevelItem(0)->text(3) + caracs->topLevelItem(0)->text(4),
                 QString("Poids12kg"));

        // The indicator follows the record, not the spin edits.
        Controle<QSpinBox>(&fiche, "seQuantiteDispo")->setValue(10);
        QVERIFY(Controle<QLabel>(&fiche, "imgOrange")->isVisible());

        Cliquer(&fiche, "btnOk");
        QCOMPARE(fiche.result(), int(QDialog::Accepted));
        TInstructionSql q = Interroger(Dm().Connexion(), "SELECT PrixVenteHT, Lien FROM Produit");
        QVERIFY(q.Etape());
        // A price the user did not touch stays as stored.
        QCOMPARE(q.Valeur(0).toDouble(), 19.999);
        QCOMPARE(q.Valeur(1).toString(), QString("5.bmp"));
        QCOMPARE(Entier("SELECT QuantiteOld * 100 + QuantiteNew FROM \"Transaction\""), 310);
        QCOMPARE(Entier("SELECT COUNT(*) FROM ProduitCarac"), 1);
    }

    void saisieDesPrix()
    {
        // Either separator, the keypad's included, means a decimal point; a
        // text that is no amount cannot be typed, and an unfinished one is
        // refused at "Valider" with nothing saved.
        TPromptsScriptes prompts;
        Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Stock, StockMini, DateCreation)"
            " VALUES (0, 5, 3, 'Vis', 0, 0, '2024-03-18 00:00:00.000')");
        auto p = Charger(5, 3);
        TFicheProduitAddOrUpdate fiche(Dm(), p.get());
        fiche.SetCategorieInitiale(3);
        fiche.show();
        const auto taper = [&](const char* nom, const QString& texte) {
            auto* e = Controle<QDoubleSpinBox>(&fiche, nom);
            e->setFocus();
            e->selectAll();
            QTest::keyClick(e, Qt::Key_Delete);
            QTest::keyClicks(e, texte);
            return e;
        };
        taper("edtVenteHT", "19.9");
        taper("edtTarifHT", "12,50");
        auto* achat = taper("edtAchatHT", "7");
        QTest::keyClick(achat, Qt::Key_Period, Qt::KeypadModifier);
        QTest::keyClicks(achat, "2a5");
        QCOMPARE(achat->text(), QString("7.25"));

        // An unfinished amount: nothing is written.
        taper("edtVenteHT", "-");
        Cliquer(&fiche, "btnOk");
        QVERIFY(fiche.isVisible());
        QVERIFY(prompts.DernierMessage().contains("n'est pas un montant"));
        QCOMPARE(Entier("SELECT COUNT(*) FROM Produit WHERE PrixVenteHT <> 0"), 0);

        taper("edtVenteHT", "19.9");
        Cliquer(&fiche, "btnOk");
        QCOMPARE(fiche.result(), int(QDialog::Accepted));
        TInstructionSql q = Interroger(Dm().Connexion(), "SELECT PrixVenteHT, PrixTarifHT, PrixAchatHT FROM Produit");
        QVERIFY(q.Etape());
        QCOMPARE(q.Valeur(0).toDouble(), 19.9);
        QCOMPARE(q.Valeur(1).toDouble(), 12.5);
        QCOMPARE(q.Valeur(2).toDouble(), 7.25);
    }

    void produitSupprimeAilleurs()
    {
        // Deleted by another workstation while the editor is open: the editor
        // says so and stays open with what was typed; nothing is written.
        TPromptsScriptes prompts;
        Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Stock, StockMini, DateCreation)"
            " VALUES (0, 5, 3, 'Vis', 1, 0, '2024-03-18 00:00:00.000')");
        auto p = Charger(5, 3);
        TFicheProduitAddOrUpdate fiche(Dm(), p.get());
        fiche.SetCategorieInitiale(3);
        fiche.show();
        Controle<QLineEdit>(&fiche, "edtLibelle")->setText("Vis inox");
        Controle<QSpinBox>(&fiche, "seQuantiteDispo")->setValue(8);
        Sql("DELETE FROM Produit");
        Cliquer(&fiche, "btnOk");
        QVERIFY(fiche.isVisible());
        QVERIFY(prompts.DernierMessage().startsWith("Ce produit n'existe plus"));
        QCOMPARE(Controle<QLineEdit>(&fiche, "edtLibelle")->text(), QString("Vis inox"));
        QCOMPARE(Entier("SELECT (SELECT COUNT(*) FROM Produit) + (SELECT COUNT(*) FROM ProduitCarac)"
                        " + (SELECT COUNT(*) FROM \"Transaction\")"),
                 0);
    }

    void image()
    {
        TPromptsScriptes prompts;
        QImage(30, 20, QImage::Format_RGB32).save(CheminImagesInterne() + "5.bmp");
        QTemporaryDir sources;
        const QString jpeg = sources.filePath("Photo.JPG");
        QImage(40, 40, QImage::Format_RGB32).save(jpeg, "JPEG");
        Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Lien, DateCreation)"
            " VALUES (0, 5, 3, 'Vis', '5.bmp', '2024-03-18 00:00:00.000')");
        auto p = Charger(5, 3);
        TFicheProduitAddOrUpdate fiche(Dm(), p.get());
        fiche.SetCategorieInitiale(3);
        fiche.show();

        // Another kind of file is refused and changes nothing.
        prompts.RepondreFichier(sources.filePath("image.png"));
        Cliquer(&fiche, "btnParcourrir");
        QCOMPARE(prompts.DernierMessage(),
                 QString("Seules les images Bitmap (.bmp) et JPEG (.jpg, .jpeg) peuvent être choisies."));
        QCOMPARE(Controle<QLineEdit>(&fiche, "edtLien")->text(), QString("5.bmp"));

        prompts.RepondreFichier(jpeg);
        Cliquer(&fiche, "btnParcourrir");
        QCOMPARE(Controle<QLineEdit>(&fiche, "edtLien")->text(), jpeg);

        // The double click opens the stored image, not the one just picked.
        QTest::mouseDClick(Controle<QWidget>(&fiche, "tImageProduit"), Qt::LeftButton);
        QCOMPARE(prompts.FichiersOuverts(), QStringList{CheminImagesInterne() + "5.bmp"});

        Cliquer(&fiche, "btnOk");
        TInstructionSql q = Interroger(Dm().Connexion(), "SELECT Lien FROM Produit");
        QVERIFY(q.Etape());
        QCOMPARE(q.Valeur(0).toString(), QString("5.jpg"));
        QVERIFY(QFile::exists(CheminImagesInterne() + "5.jpg"));
        QVERIFY(!QFile::exists(CheminImagesInterne() + "5.bmp"));

        // Nothing is opened when the stored file is missing.
        TProduit sansFichier;
        sansFichier.SetLien("absent.jpg");
        TFicheProduitAddOrUpdate autre(Dm(), &sansFichier);
        autre.show();
        prompts.Effacer();
        autre.tImageProduitDblClick();
        QVERIFY(prompts.FichiersOuverts().isEmpty());
        QCOMPARE(Controle<QLabel>(&autre, "pImage")->text(), QString("Aucune image"));
    }

    void caracteristiqueRetireeAnnulerPuisValider()
    {
        TPromptsScriptes prompts;
        Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle) VALUES (0, 5, 3, 'Vis')");
        Sql("INSERT INTO ProduitCarac VALUES (0, 5, 1, '12')");
        const auto retirer = [](TFicheAjouterCarac* f) {
            Choisir(f, "lvCaracsProduits", 2, "Poids");
            Cliquer(f, "btnSupprimer");
            Cliquer(f, "btnOk");
        };
        for (bool valider : {false, true}) {
            auto p = Charger(5, 3);
            const TCaracValeurPtr objet = p->GetCaracValeurs()->value(0);
            TFicheProduitAddOrUpdate fiche(Dm(), p.get());
            fiche.SetCategorieInitiale(3);
            fiche.show();
            TQuandModale<TFicheAjouterCarac> ajout(retirer);
            Cliquer(&fiche, "btnGererCaracProduit");
            ATTENDRE_MODALE(ajout);
            QCOMPARE(Controle<QTreeWidget>(&fiche, "lvCaracs")->topLevelItemCount(), 0);
            QVERIFY(p->GetCaracValeurs()->isEmpty());
            Cliquer(&fiche, valider ? "btnOk" : "btnAnnuler");
            QCOMPARE(Entier("SELECT COUNT(*) FROM ProduitCarac"), valider ? 0 : 1);
            QCOMPARE(objet->GetValeur(), QString("12"));  // the removed object lives on
        }
    }

    void caracteristiqueRetireeEtRedonnee()
    {
        TPromptsSaisie prompts;
        Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle) VALUES (0, 5, 3, 'Vis')");
        Sql("INSERT INTO ProduitCarac VALUES (0, 5, 1, '12')");
        auto p = Charger(5, 3);
        TFicheProduitAddOrUpdate fiche(Dm(), p.get());
        fiche.SetCategorieInitiale(3);
        fiche.show();
        prompts.RepondreSaisie(QString("15"));
        TQuandModale<TFicheAjouterCarac> ajout([](TFicheAjouterCarac* f) {
            Choisir(f, "lvCaracsProduits", 2, "Poids");
            Cliquer(f, "btnSupprimer");
            Choisir(f, "lvCaracs", 2, "Poids");
            Cliquer(f, "btnAjouterProduit");
            Cliquer(f, "btnOk");
        });
        Cliquer(&fiche, "btnGererCaracProduit");
        ATTENDRE_MODALE(ajout);
        Cliquer(&fiche, "btnOk");
        QCOMPARE(Entier("SELECT COUNT(*) FROM ProduitCarac"), 1);
        QCOMPARE(Entier("SELECT Valeur FROM ProduitCarac"), 15);
    }

    void affectation()
    {
        TPromptsSaisie prompts;
        TListeCaracValeurs depart;
        TFicheAjouterCarac fiche(Dm(), depart);
        fiche.show();
        QCOMPARE(fiche.windowTitle(), QString("Paramètrage des caractéristiques du produit"));
        auto* disponibles = Controle<QTreeWidget>(&fiche, "lvCaracs");
        auto* affectees = Controle<QTreeWidget>(&fiche, "lvCaracsProduits");
        QCOMPARE(Colonne(disponibles, 2), (QStringList{"Poids", "Couleur"}));  // no other origin
        QVERIFY(!Controle<QPushButton>(&fiche, "btnSupprimer")->isEnabled());

        // Nothing selected: nothing happens.
        Cliquer(&fiche, "btnAjouterProduit");
        QVERIFY(prompts.Traces().isEmpty());

        // Accepting the prefilled text.
        prompts.accepterDefaut = 1;
        Choisir(&fiche, "lvCaracs", 2, "Poids");
        Cliquer(&fiche, "btnAjouterProduit");
        QCOMPARE(prompts.defauts, QStringList{"Renseigner la valeur|Valeur|Valeur par défaut"});
        QCOMPARE(Colonne(affectees, 3), QStringList{"Valeur par défaut"});
        QVERIFY(Controle<QPushButton>(&fiche, "btnSupprimer")->isEnabled());

        // Twice: refused before the prompt.
        prompts.Effacer();
        Cliquer(&fiche, "btnAjouterProduit");
        QCOMPARE(prompts.Messages(), QStringList{"Cette caractéristique éxiste déjà pour ce produit"});
        QVERIFY(prompts.Textes(Genre::Saisie).isEmpty());

        // Cancelled, then empty, then blanks through a double click.
        Choisir(&fiche, "lvCaracs", 2, "Couleur");
        prompts.Effacer();
        Cliquer(&fiche, "btnAjouterProduit");
        QVERIFY(prompts.Messages().isEmpty());
        prompts.RepondreSaisie(QString());
        Cliquer(&fiche, "btnAjouterProduit");
        QCOMPARE(prompts.Messages(), QStringList{"Le champ valeur ne doit pas être vide"});
        QCOMPARE(affectees->topLevelItemCount(), 1);
        prompts.RepondreSaisie(QString("  "));
        emit disponibles->itemDoubleClicked(disponibles->currentItem(), 2);
        QCOMPARE(Colonne(affectees, 3), (QStringList{"Valeur par défaut", "  "}));
        QCOMPARE(fiche.GetCaracs().size(), 2);
        QCOMPARE(fiche.GetCaracs()[1]->GetLibelle(), QString("Couleur"));

        // Definition gone between listing and assigning: nothing added.
        Sql("DELETE FROM ProduitTypeCarac WHERE IdProduitCarac = 1");
        Choisir(&fiche, "lvCaracsProduits", 2, "Poids");
        Cliquer(&fiche, "btnSupprimer");
        Choisir(&fiche, "lvCaracs", 2, "Poids");
        prompts.RepondreSaisie(QString("3"));
        Cliquer(&fiche, "btnAjouterProduit");
        QCOMPARE(Colonne(affectees, 2), QStringList{"Couleur"});

        Choisir(&fiche, "lvCaracsProduits", 2, "Couleur");
        Cliquer(&fiche, "btnSupprimer");
        QVERIFY(!Controle<QPushButton>(&fiche, "btnSupprimer")->isEnabled());
        QVERIFY(depart.isEmpty());  // the caller's list is untouched
    }

    void definitionsRafraichies()
    {
        TPromptsScriptes prompts;
        TListeCaracValeurs depart;
        for (int id : {1, 2}) {
            auto v = std::make_shared<TCaracValeur>();
            v->SetIdProduitCarac(id);
            v->SetLibelle(id == 1 ? "Poids" : "Couleur");
            v->SetValeur("x");
            depart << v;
        }
        TFicheAjouterCarac fiche(Dm(), depart);
        fiche.show();
        TQuandModale<TFicheParametreCarac> definitions([this](TFicheParametreCarac* f) {
            Choisir(f, "lvCaracs", 2, "Poids");
            Controle<QLineEdit>(f, "edtUnite")->setText("g");
            Cliquer(f, "btnModifier");  // unused definition: no question
            Controle<QLineEdit>(f, "edtLibelle")->setText("Longueur");
            Controle<QLineEdit>(f, "edtUnite")->setText("mm");
            Cliquer(f, "btnAjouter");
            Choisir(f, "lvCaracs", 2, "Couleur");
            Cliquer(f, "btnSupprimer");
            QCOMPARE(Entier("SELECT COUNT(*) FROM ProduitTypeCarac WHERE Externe = 0"), 2);
            Cliquer(f, "btnOk");
        });
        Cliquer(&fiche, "btnGestionCarac");
        ATTENDRE_MODALE(definitions);
        QVERIFY(prompts.Traces().isEmpty());
        QCOMPARE(Colonne(Controle<QTreeWidget>(&fiche, "lvCaracs"), 2), (QStringList{"Poids", "Longueur"}));
        auto* affectees = Controle<QTreeWidget>(&fiche, "lvCaracsProduits");
        QCOMPARE(Colonne(affectees, 4), (QStringList{"g", ""}));
        QCOMPARE(Colonne(affectees, 2), (QStringList{"Poids", "Couleur"}));  // deleted: keeps its texts
        QCOMPARE(depart[0]->GetUnite(), QString("g"));  // shared objects
    }

    void definitions()
    {
        TPromptsScriptes prompts;
        Sql("DELETE FROM ProduitTypeCarac");
        TFicheParametreCarac fiche(Dm());
        fiche.show();
        QCOMPARE(fiche.windowTitle(), QString("Paramètrage des caractéristiques"));
        auto* libelle = Controle<QLineEdit>(&fiche, "edtLibelle");
        auto* unite = Controle<QLineEdit>(&fiche, "edtUnite");
        auto* liste = Controle<QTreeWidget>(&fiche, "lvCaracs");
        const auto saisir = [&](const QString& l, const QString& u) {
            libelle->setText(l);
            unite->setText(u);
        };
        const auto vides = [&] { return libelle->text().isEmpty() && unite->text().isEmpty(); };

        saisir("Poids", "kg");
        Cliquer(&fiche, "btnAjouter");
        QVERIFY(vides());
        QCOMPARE(Entier("SELECT IdProduitCarac FROM ProduitTypeCarac WHERE Libelle = 'Poids'"), 1);
        QCOMPARE(Colonne(liste, 1), QStringList{"1"});

        // Duplicates: same label and unit in any case, any origin.
        Sql("INSERT INTO ProduitTypeCarac VALUES (1, 40, 'Étain', 'g'), (0, 2, 'Couleur', NULL),"
            " (0, 5, 'Matière', '')");
        for (const auto& [l, u] : {std::pair<QString, QString>{"POIDS", "KG"}, {"étain", "G"}, {"Couleur", ""}}) {
            prompts.Effacer();
            saisir(l, u);
            Cliquer(&fiche, "btnAjouter");
            QCOMPARE(prompts.Messages(), QStringList{"Cette caractéristique existe dèja"});
            QVERIFY(vides());
        }
        saisir("Poids", "g");
        Cliquer(&fiche, "btnAjouter");
        saisir(" Poids", "kg");  // no trimming
        Cliquer(&fiche, "btnAjouter");
        QCOMPARE(Entier("SELECT MAX(IdProduitCarac) FROM ProduitTypeCarac WHERE Externe = 0"), 7);
        QCOMPARE(Colonne(liste, 1), (QStringList{"1", "2", "5", "6", "7"}));

        prompts.Effacer();
        saisir("", "kg");
        Cliquer(&fiche, "btnAjouter");
        QCOMPARE(prompts.Messages(), QStringList{"Le champ Libellé ne doit pas être vide"});
        QVERIFY(vides());

        // Selecting fills the edits; unchanged label and unit is a duplicate.
        Choisir(&fiche, "lvCaracs", 1, "1");
        QCOMPARE(libelle->text() + "|" + unite->text(), QString("Poids|kg"));
        prompts.Effacer();
        Cliquer(&fiche, "btnModifier");
        QCOMPARE(prompts.Messages(), QStringList{"Cette caractéristique existe dèja"});
        QVERIFY(vides());

        // A used definition: question before the change, refusal to delete.
        Sql("INSERT INTO ProduitCarac VALUES (0, 9, 1, '12')");
        Choisir(&fiche, "lvCaracs", 1, "1");
        libelle->setText("Masse");
        prompts.Effacer();
        Cliquer(&fiche, "btnModifier");
        QCOMPARE(prompts.Textes(Genre::Confirmation),
                 QStringList{"La modification impactera tous les produits utilisant ce type de caractéristique, "
                             "voulez-vous continuer?"});
        QCOMPARE(Entier("SELECT COUNT(*) FROM ProduitTypeCarac WHERE Libelle = 'Poids'"), 2);
        QVERIFY(vides());
        Choisir(&fiche, "lvCaracs", 1, "1");
        libelle->setText("Masse");
        prompts.RepondreConfirmation(true);
        Cliquer(&fiche, "btnModifier");
        QCOMPARE(Entier("SELECT COUNT(*) FROM ProduitTypeCarac WHERE Libelle = 'Masse'"), 1);

        prompts.Effacer();
        Choisir(&fiche, "lvCaracs", 1, "1");
        Cliquer(&fiche, "btnSupprimer");
        QCOMPARE(prompts.Messages(),
                 QStringList{"Impossible de supprimer une caractéristique qui est déja affectée au produit"});
        QCOMPARE(Entier("SELECT COUNT(*) FROM ProduitTypeCarac WHERE IdProduitCarac = 1"), 1);
        QVERIFY(vides());
        prompts.Effacer();
        Choisir(&fiche, "lvCaracs", 1, "5");
        Cliquer(&fiche, "btnSupprimer");
        QVERIFY(prompts.Traces().isEmpty());
        QCOMPARE(Colonne(liste, 1), (QStringList{"1", "2", "6", "7"}));

        // No selection: edits emptied all the same.
        liste->clearSelection();
        saisir("a", "b");
        Cliquer(&fiche, "btnModifier");
        QVERIFY(vides());
        saisir("a", "b");
        Cliquer(&fiche, "btnSupprimer");
        QVERIFY(vides());
        QVERIFY(prompts.Traces().isEmpty());
    }

    void historique()
    {
        Sql("INSERT INTO \"Transaction\" (Externe, IdProduit, QuantiteOld, QuantiteNew, Libelle, DateMaj) VALUES"
            " (0, 5, 10, 4, 'Mis à jour', '2025-02-01 14:05:09.250'),"
            " (0, 5, NULL, 10, 'Ajout', '2025-01-15 00:00:00.000'),"
            " (1, 5, 4, 1, 'Autre origine', '2025-01-20 10:00:00.000'),"
            " (0, 6, 1, 2, 'Autre produit', '2025-01-20 10:00:00.000'),"
            " (0, 5, 4, 3, 'Passage en commande', '2025-02-01 14:05:09.250')");
        TFicheStockHistorique fiche(Dm());
        fiche.SetExterne(0);
        fiche.SetIdProduit(5);
        fiche.SetTitre("Historique du stock - Vis");
        fiche.show();
        QCOMPARE(fiche.windowTitle(), QString("Historique du stock - Vis"));
        auto* liste = Controle<QTreeWidget>(&fiche, "lvStock");
        QCOMPARE(Colonne(liste, 1), (QStringList{"Ajout", "Mis à jour", "Passage en commande"}));
        QCOMPARE(Colonne(liste, 0), (QStringList{"15/01/2025", "01/02/2025 14:05:09", "01/02/2025 14:05:09"}));
        QCOMPARE(Colonne(liste, 2), (QStringList{"0", "10", "4"}));
        QCOMPARE(Colonne(liste, 3), (QStringList{"10", "4", "3"}));
        liste->header()->resizeSection(0, 20);  // not below its starting width
        QCOMPARE(liste->header()->sectionSize(0), 150);
        fiche.hide();
        fiche.show();  // filled once
        QCOMPARE(liste->topLevelItemCount(), 3);

        // The chart: the stock before the first movement, a step at each,
        // the last level held until now; the movement in effect at a date.
        Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Stock, StockMini)"
            " VALUES (0, 5, 3, 'Vis', 3, 5)");
        const TCourbeStock& courbe = fiche.Courbe();
        const QDateTime janvier(QDate(2025, 1, 15), QTime(0, 0)), fevrier(QDate(2025, 2, 1), QTime(14, 5, 9, 250));
        const QList<std::tuple<QDateTime, int, int>> attendus = {
            {janvier, 0, 0}, {janvier, 10, 0}, {fevrier, 10, 1}, {fevrier, 4, 1}, {fevrier, 4, 2}, {fevrier, 3, 2}};
        QCOMPARE(courbe.points.size(), attendus.size() + 1);
        for (int i = 0; i < attendus.size(); ++i)
            QCOMPARE(std::tuple(courbe.points[i].date, courbe.points[i].quantite, courbe.points[i].mouvement),
                     attendus[i]);
        QCOMPARE(courbe.points.last().quantite, 3);
        QVERIFY(courbe.points.last().date > fevrier);
        QCOMPARE(MouvementA(courbe, janvier.addDays(3)), 0);
        QCOMPARE(MouvementA(courbe, janvier.addDays(-1)), -1);
        QCOMPARE(MouvementA(courbe, fevrier.addDays(30)), 2);
        // Read for screen readers: dates, lowest and current stock.
        auto* vue = fiche.findChild<QWidget*>("grStock");
        QVERIFY(vue->isVisible());
        QCOMPARE(vue->accessibleName(), QString("Courbe du stock"));
        TFicheStockHistorique avecMinimum(Dm());
        avecMinimum.SetIdProduit(5);
        avecMinimum.show();
        const QString resume = "Stock du 15/01/2025 au 01/02/2025 : le plus bas 3, actuel 3, minimum 5.";
        QCOMPARE(Controle<QLabel>(&avecMinimum, "lbResumeStock")->text(), resume);
        QCOMPARE(avecMinimum.findChild<QWidget*>("grStock")->accessibleDescription(), resume);
    }

    void historiqueDepuisEditeur()
    {
        TPromptsScriptes prompts;
        Sql("INSERT INTO \"Transaction\" (Externe, IdProduit, QuantiteNew, Libelle, DateMaj)"
            " VALUES (1, 0, 3, 'Ajout', '2025-01-15 10:00:00.000')");
        TFicheProduitAddOrUpdate fiche(Dm(), nullptr);
        fiche.SetCategorieInitiale(3);
        fiche.show();
        QString titre;
        int lignes = -1;
        QString resume;
        bool courbe = true;
        TQuandModale<TFicheStockHistorique> historique([&](TFicheStockHistorique* f) {
            titre = f->windowTitle();
            lignes = Controle<QTreeWidget>(f, "lvStock")->topLevelItemCount();
            resume = Controle<QLabel>(f, "lbResumeStock")->text();
            courbe = f->findChild<QWidget*>("grStock")->isVisible();
            f->accept();
        });
        Cliquer(&fiche, "btnGestionStocks");
        ATTENDRE_MODALE(historique);
        QCOMPARE(titre, QString("Historique du stock - "));
        QCOMPARE(lignes, 0);
        QCOMPARE(resume, QString("Aucun mouvement"));
        QVERIFY(!courbe);
    }
};

QTEST_MAIN(TestFichesProduit)
#include "test_product_fiches.moc"
