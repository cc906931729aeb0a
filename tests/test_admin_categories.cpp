// Category management: add, rename and delete with their checks and
// messages, the selection after each action, identifiers, and the category
// reported to the settings window.

#include "core/base/prompts.h"
#include "core/catalogue/categories.h"
#include "core/store/dmkestravel.h"
#include "gui/admin/arbreinterne.h"
#include "gui/admin/ficheparametreproduittype.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {
void Categorie(TCatalogueTest& c, int ext, int id, const QVariant& parent, const QString& libelle)
{
    c.Sql("INSERT INTO ProduitType VALUES (?, ?, ?, ?)", {ext, id, parent, libelle});
}

// Outillage(1) ─ Marteaux(2), Scies(3); Peinture(4); product 10 in Outillage.
void Arbre(TCatalogueTest& c)
{
    Categorie(c, 0, 1, QVariant(), "Outillage");
    Categorie(c, 0, 2, 1, "Marteaux");
    Categorie(c, 0, 3, 1, "Scies");
    Categorie(c, 0, 4, QVariant(), "Peinture");
    c.Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType) VALUES (0, 10, 1)");
}

struct Fenetre {
    TFicheParametreProduitType fiche;
    QTreeWidget* arbre;
    QLineEdit* libelle;
    explicit Fenetre(TdmKestravel& dm)
        : fiche(dm),
          arbre(fiche.findChild<QTreeWidget*>("tvProduitType")),
          libelle(fiche.findChild<QLineEdit*>("edtLibelle"))
    {}
    QTreeWidgetItem* Noeud(const QString& texte) const
    {
        const auto t = arbre->findItems(texte, Qt::MatchExactly | Qt::MatchRecursive);
        return t.isEmpty() ? nullptr : t.first();
    }
    void Choisir(const QString& texte) { arbre->setCurrentItem(Noeud(texte)); }
    QString Choisi() const { return arbre->currentItem() ? arbre->currentItem()->text(0) : QString(); }
    void Cliquer(const char* bouton, const QString& texte)
    {
        libelle->setText(texte);
        fiche.findChild<QPushButton*>(bouton)->click();
    }
};
}  // namespace

class TestAdminCategories : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void ouvertureEtLibelle()
    {
        TCatalogueTest c;
        Arbre(c);
        Fenetre f(c.Dm());
        QCOMPARE(f.fiche.windowTitle(), QStringLiteral("Gestion des catégories produits"));
        QCOMPARE(f.libelle->maxLength(), 50);
        QCOMPARE(f.Choisi(), QStringLiteral("Interne"));
        QCOMPARE(f.libelle->text(), QString());
        f.Choisir("Scies");
        QCOMPARE(f.libelle->text(), QStringLiteral("Scies"));
        f.Choisir("Interne");  // no row for the root: the text stays
        QCOMPARE(f.libelle->text(), QStringLiteral("Scies"));
    }

    void ajout()
    {
        TCatalogueTest c;
        Arbre(c);
        Categorie(c, 1, 9, 0, "Autre origine");
        Fenetre f(c.Dm());
        TPromptsScriptes prompts;

        f.Cliquer("btnAjouter", "Jardin");  // root selected
        QCOMPARE(c.Entier("SELECT IdProduitType FROM ProduitType WHERE Libelle = 'Jardin'"), 5);
        QCOMPARE(c.Entier("SELECT IdParent IS NULL AND Externe = 0 FROM ProduitType WHERE IdProduitType = 5"), 1);
        QCOMPARE(f.Choisi(), QStringLiteral("Jardin"));
        QCOMPARE(f.Noeud("Jardin")->parent(), f.Noeud("Interne"));

        f.Choisir("Outillage");
        f.Cliquer("btnAjouter", "Perceuses");
        QCOMPARE(c.Entier("SELECT IdParent FROM ProduitType WHERE Libelle = 'Perceuses'"), 1);
        QCOMPARE(f.Choisi(), QStringLiteral("Perceuses"));
        QCOMPARE(f.libelle->text(), QStringLiteral("Perceuses"));

        // Same label in another letter case among the same parent's children.
        f.Choisir("Outillage");
        f.Cliquer("btnAjouter", "SCIES");
        QCOMPARE(prompts.Messages(), QStringList{"Le nom du type de produit existe déjà dans cette catégorie"});
        QCOMPARE(f.Choisi(), QStringLiteral("Outillage"));
        // Under another parent it is accepted; an empty label never is.
        f.Choisir("Peinture");
        f.Cliquer("btnAjouter", "Scies");
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType WHERE Libelle = 'Scies'"), 2);
        prompts.Effacer();
        f.Cliquer("btnAjouter", "");
        QCOMPARE(prompts.Messages(), QStringList{"Le nom de la catégorie du produit ne doit pas être vide"});
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 8);
    }

    void validation()
    {
        TCatalogueTest c;
        TdmKestravel& dm = c.Dm();
        Categorie(c, 0, 1, -3, "Électricité");  // a negative parent counts as the root
        Categorie(c, 0, 2, QVariant(), "Bois");
        Categorie(c, 1, 3, QVariant(), "Jardin");
        // The service refuses without a word to the user: the window tells.
        TPromptsScriptes prompts;
        QVERIFY_THROWS_EXCEPTION(ERefus, ValiderLibelleCategorie(dm, 0, 0, "électricité"));
        QVERIFY_THROWS_EXCEPTION(ERefus, ValiderLibelleCategorie(dm, 0, 0, "BOIS"));
        ValiderLibelleCategorie(dm, 0, 1, "Bois");
        ValiderLibelleCategorie(dm, 0, 0, "Jardin");  // another origin
        ValiderLibelleCategorie(dm, 0, 0, "   ");  // spaces are not empty
        QVERIFY(prompts.Messages().isEmpty());
    }

    void renommage()
    {
        TCatalogueTest c;
        Arbre(c);
        Fenetre f(c.Dm());
        TPromptsScriptes prompts;
        f.Cliquer("btnModifier", "Racine");
        QCOMPARE(prompts.Messages(), QStringList{"Impossible de renommer le dossier racine"});

        f.Choisir("Scies");
        f.Cliquer("btnModifier", "Scies");  // its own label
        QCOMPARE(prompts.Messages().last(),
                 QStringLiteral("Le nom du type de produit existe déjà dans cette catégorie"));
        QCOMPARE(f.Choisi(), QStringLiteral("Scies"));
        f.Cliquer("btnModifier", "marteaux");  // a sibling's
        QCOMPARE(prompts.Messages().size(), 3);
        f.Cliquer("btnModifier", "");
        QCOMPARE(prompts.Messages().last(), QStringLiteral("Le nom de la catégorie du produit ne doit pas être vide"));
        f.Cliquer("btnModifier", "Peinture");  // used elsewhere only
        QCOMPARE(prompts.Messages().size(), 4);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType WHERE Libelle = 'Peinture'"), 2);
        QCOMPARE(f.Choisi(), QStringLiteral("Peinture"));
        QCOMPARE(f.arbre->currentItem()->parent()->text(0), QStringLiteral("Outillage"));
    }

    void suppression()
    {
        TCatalogueTest c;
        Arbre(c);
        c.Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType) VALUES (1, 11, 4)");  // other origin
        Fenetre f(c.Dm());
        TPromptsScriptes prompts;
        f.fiche.btnSupprimerClick();
        QCOMPARE(prompts.Messages(), QStringList{"Impossible de supprimer le noeud racine"});

        // Children and products: the children message only.
        f.Choisir("Outillage");
        f.fiche.btnSupprimerClick();
        QCOMPARE(prompts.Messages().mid(1),
                 QStringList{"Impossible de supprimer une catégorie qui contient des catégories de produit"});
        QCOMPARE(f.Choisi(), QStringLiteral("Outillage"));
        f.Choisir("Marteaux");
        f.fiche.btnSupprimerClick();
        QCOMPARE(f.Choisi(), QStringLiteral("Outillage"));
        QCOMPARE(f.libelle->text(), QStringLiteral("Outillage"));
        f.Choisir("Scies");
        f.fiche.btnSupprimerClick();
        prompts.Effacer();
        f.Choisir("Outillage");
        f.fiche.btnSupprimerClick();
        QCOMPARE(prompts.Messages(), QStringList{"Impossible de supprimer une catégorie qui contient des produits"});
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 2);

        // A product of another origin does not hold an internal category.
        f.Choisir("Peinture");
        f.fiche.btnSupprimerClick();
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 1);
        QCOMPARE(f.Choisi(), QStringLiteral("Interne"));
        QCOMPARE(f.libelle->text(), QString());
    }

    void identifiants()
    {
        TCatalogueTest c;
        Categorie(c, 1, 40, 0, "Externe");
        {
            Fenetre f(c.Dm());
            QCOMPARE(f.Choisi(), QStringLiteral("Interne"));  // only another origin: the root
        }
        c.Sql("DELETE FROM ProduitType");
        Fenetre f(c.Dm());
        QVERIFY(f.arbre->selectedItems().isEmpty());
        TPromptsScriptes prompts;
        f.Cliquer("btnAjouter", "Sans effet");  // nothing selected: nothing added
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 0);
        f.Choisir("Interne");
        f.Cliquer("btnAjouter", "Premier");
        f.Cliquer("btnAjouter", "Second");
        QCOMPARE(c.Entier("SELECT IdProduitType FROM ProduitType WHERE Libelle = 'Premier'"), 1);
        QCOMPARE(c.Entier("SELECT IdParent FROM ProduitType WHERE Libelle = 'Second'"), 1);
        f.fiche.btnSupprimerClick();  // the highest number is freed again
        f.Cliquer("btnAjouter", "Troisième");
        QCOMPARE(c.Entier("SELECT IdProduitType FROM ProduitType WHERE Libelle = 'Troisième'"), 2);
        QVERIFY(prompts.Messages().isEmpty());
    }

    void resultat()
    {
        TCatalogueTest c;
        Arbre(c);
        {
            Fenetre f(c.Dm());
            f.Choisir("Scies");
            f.fiche.show();
            f.fiche.close();
            QCOMPARE(f.fiche.GetCategorieResultat(), 3);
            QCOMPARE(f.arbre->topLevelItemCount(), 0);
        }
        Fenetre f(c.Dm());
        f.fiche.reject();
        QCOMPARE(f.fiche.GetCategorieResultat(), 0);  // the root
    }
};

// The windows on a catalogue file, then on the server.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return ExecuterSurLesDeuxMoteurs<TestAdminCategories>(argc, argv);
}
#include "test_admin_categories.moc"
