// Product search: accents and case, the three texts searched, origin and
// category filters, the index kept in step with writes, dropped by an import
// and a synchronisation and built again; the "Rechercher" field of both
// windows.

#include "core/base/chemins.h"
#include "core/base/prompts.h"
#include "core/catalogue/produits.h"
#include "core/exchange/synchronisation.h"
#include "core/interchange/interchange.h"
#include "core/store/acces.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/recherche.h"
#include "gui/admin/colonnesparametrage.h"
#include "gui/admin/ficheparametreproduit.h"
#include "gui/product/ficheproduitaddorupdate.h"
#include "gui/viewer/ficheproduitliste.h"
#include "gui/viewer/ficheproduitview.h"
#include "tests/modale.h"
#include "tests/soutien.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

namespace {
void Produit(TCatalogueTest& c, int ext, int id, int type, const QString& libelle, const QString& reference = {},
             const QString& code = {})
{
    c.Sql(
        "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference, CodeExport, PrixVenteHT, Stock,"
        " StockMini) VALUES (?, ?, ?, ?, ?, ?, 1, 1, 0)",
        {ext, id, type, libelle, reference, code});
}

// Numbers of the products found, in the order given.
QList<int> Trouves(TdmKestravel& dm, const QString& texte, int externe = -1, QHash<qint64, QString> categories = {})
{
    TCritereRecherche critere;
    critere.texte = texte;
    critere.externe = externe;
    critere.categories = std::move(categories);
    const TResultatRecherche r = Rechercher(dm.Connexion(), critere);
    if (!r.erreur.isEmpty())
        qWarning() << r.erreur;
    QList<int> ids;
    for (int i = 0; i < r.lignes.Taille(); ++i)
        ids << r.lignes[i].idProduit;
    return ids;
}

void Catalogue(TCatalogueTest& c)
{
    c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, 'Électricité'), (0, 2, 0, 'Outillage'), (2, 1, 0, 'Standard')");
    Produit(c, 0, 1, 1, "Prise 16 A encastrée", "PR16", "ELEC-PR16");
    Produit(c, 0, 2, 1, "Câble ÉLECTRIQUE 2,5 mm²", "CAB25", "ELEC-CAB");
    Produit(c, 0, 3, 2, "Marteau", "MAR-Œ1", "OUT-ÇA");
    Produit(c, 2, 4, 1, "Prise standard", "PR16", "STD-PR");
    Produit(c, 0, 5, 9, "Prise orpheline", "PR99", "");  // category not in any tree
}
}  // namespace

class TestRecherche : public QObject {
    Q_OBJECT

    QTemporaryDir m_admin;

    static QStringList Colonne(const QTreeView* liste, int colonne)
    {
        QStringList r;
        for (int i = 0; i < liste->model()->rowCount(); ++i)
            r << liste->model()->index(i, colonne).data().toString();
        return r;
    }

private slots:
    void initTestCase()
    {
        LocaleFrancaise();
        SetDossierAdministration(m_admin.path());
        VerifierDossiersImages();
    }

    void accentsCasseEtTroisTextes()
    {
        QCOMPARE(PlierRecherche("Électricité ŒUF Ça"), QString("electricite oeuf ca"));
        TCatalogueTest c;
        Catalogue(c);
        InstallerIndexRecherche(c.Dm().Connexion());
        QVERIFY(IndexRechercheInstalle(c.Dm().Connexion()));
        QCOMPARE(Trouves(c.Dm(), "electrique"), QList<int>{2});
        QCOMPARE(Trouves(c.Dm(), "ÉLECTRIQUE"), QList<int>{2});
        QCOMPARE(Trouves(c.Dm(), "encastree"), QList<int>{1});
        QCOMPARE(Trouves(c.Dm(), "cab25"), QList<int>{2});  // reference
        QCOMPARE(Trouves(c.Dm(), "mar-oe"), QList<int>{3});  // Œ in a reference
        QCOMPARE(Trouves(c.Dm(), "out-ca"), QList<int>{3});  // export code
        QCOMPARE(Trouves(c.Dm(), "elec-"), (QList<int>{1, 2}));
        // Words in any order and any text; short words are matched too.
        QCOMPARE(Trouves(c.Dm(), "16 prise"), (QList<int>{1, 4}));
        QCOMPARE(Trouves(c.Dm(), "a"), (QList<int>{1, 2, 3, 4}));
        QCOMPARE(Trouves(c.Dm(), "16 a encas"), QList<int>{1});
        // Characters with a meaning in the query languages are plain text.
        QCOMPARE(Trouves(c.Dm(), "\"prise"), QList<int>{});
        QCOMPARE(Trouves(c.Dm(), "%"), QList<int>{});
        QCOMPARE(Trouves(c.Dm(), "   "), QList<int>{});

        // One origin; the categories of a tree, with their names.
        QCOMPARE(Trouves(c.Dm(), "prise", 0), (QList<int>{1, 5}));
        TCritereRecherche critere;
        critere.texte = "prise";
        critere.categories = {{CleCategorie(0, 1), "Électricité"}, {CleCategorie(2, 1), "Standard"}};
        TResultatRecherche r = Rechercher(c.Dm().Connexion(), critere);
        QCOMPARE(r.lignes.Taille(), 2);
        QCOMPARE(r.lignes.Categorie(0).toString(), QString("Électricité"));
        QCOMPARE(r.lignes.Texte(1, TChampProduit::Categorie), QString("Standard"));
        QCOMPARE(r.lignes.Libelle(1).toString(), QString("Prise standard"));
        QVERIFY(!r.tronque);
        critere.limite = 1;
        r = Rechercher(c.Dm().Connexion(), critere);
        QCOMPARE(r.lignes.Taille(), 1);
        QVERIFY(r.tronque);
    }

    void indexSuitLesEcritures()
    {
        TCatalogueTest c;
        Catalogue(c);
        InstallerIndexRecherche(c.Dm().Connexion());
        Produit(c, 0, 6, 2, "Tournevis cruciforme");
        QCOMPARE(Trouves(c.Dm(), "cruci"), QList<int>{6});
        c.Sql("UPDATE Produit SET Libelle = 'Tournevis plat' WHERE IdProduit = 6");
        QCOMPARE(Trouves(c.Dm(), "cruci"), QList<int>{});
        QCOMPARE(Trouves(c.Dm(), "plat"), QList<int>{6});
        c.Sql("UPDATE Produit SET Stock = 9 WHERE IdProduit = 6");
        QCOMPARE(Trouves(c.Dm(), "plat"), QList<int>{6});
        c.Sql("DELETE FROM Produit WHERE IdProduit = 6");
        QCOMPARE(Trouves(c.Dm(), "tournevis"), QList<int>{});
        // A row replaced under the same key keeps one entry.
        c.Sql(
            "INSERT OR REPLACE INTO Produit (Externe, IdProduit, IdProduitType, Libelle) VALUES (0, 3, 2, 'Maillet')");
        QCOMPARE(Trouves(c.Dm(), "maillet"), QList<int>{3});
        QCOMPARE(Trouves(c.Dm(), "marteau"), QList<int>{});
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM RechercheProduit"), c.Entier("SELECT COUNT(*) FROM Produit"));
    }

    void importEtSynchronisationReconstruisent()
    {
        TCatalogueTest c;
        Catalogue(c);
        InstallerIndexRecherche(c.Dm().Connexion());
        // The import drops the index with the old rows, in its transaction.
        QTemporaryDir dossier;
        const QString fichier = ExporterTable(c.Dm(), TTableCsv::Produit, dossier.path()).chemin;
        QVERIFY(QFile::rename(fichier, CheminImport(TTableCsv::Produit, dossier.path())));
        c.Sql("UPDATE Produit SET Libelle = 'Perceuse' WHERE IdProduit = 3");
        ImporterTable(c.Dm(), TTableCsv::Produit, dossier.path());
        QVERIFY(!IndexRechercheInstalle(c.Dm().Connexion()));
        InstallerIndexRecherche(c.Dm().Connexion());
        QCOMPARE(Trouves(c.Dm(), "marteau"), QList<int>{3});
        QCOMPARE(Trouves(c.Dm(), "perceuse"), QList<int>{});

        // A synchronisation copies the other catalogue without its index.
        TInstallation source, cible;
        {
            TdmKestravel dm(source.Base());
            ExecuterInstruction(dm.Connexion(),
                                "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle) "
                                "VALUES (0, 1, 1, 'Scie égoïne')");
            InstallerIndexRecherche(dm.Connexion());
            ExecuterInstruction(dm.Connexion(), "UPDATE Produit SET Libelle = 'Scie à bûches'");
        }
        TdmKestravel dm(cible.Base());
        InstallerIndexRecherche(dm.Connexion());
        Synchroniser(dm, source.Racine(), cible.Racine());
        QVERIFY(!IndexRechercheInstalle(dm.Connexion()));
        InstallerIndexRecherche(dm.Connexion());
        QCOMPARE(Trouves(dm, "buches"), QList<int>{1});
    }

    // The index built in steps that other writes pass between: stopped, the
    // catalogue is searched row by row; resumed, it holds every product,
    // those written meanwhile as they are now.
    void constructionParEtapes()
    {
        TCatalogueTest c;
        Catalogue(c);
        const TBaseSql& base = c.Dm().Connexion();
        QList<int> pourcents;
        QVERIFY(!ConstruireIndexRecherche(
            base,
            [&](int p) {
                pourcents << p;
                return pourcents.size() < 2;
            },
            2));
        QVERIFY(!IndexRechercheInstalle(base));
        TCritereRecherche critere;
        critere.texte = "prise";
        critere.sansIndex = true;
        QCOMPARE(Rechercher(base, critere).lignes.Taille(), 3);
        Produit(c, 0, 6, 2, "Tournevis cruciforme");
        c.Sql("UPDATE Produit SET Libelle = 'Prise murale' WHERE IdProduit = 1");
        c.Sql("UPDATE Produit SET Libelle = 'Masse' WHERE IdProduit = 3");
        pourcents.clear();
        QVERIFY(ConstruireIndexRecherche(
            base, [&](int p) { return pourcents << p, true; }, 2));
        QVERIFY(IndexRechercheInstalle(base));
        QVERIFY(std::is_sorted(pourcents.begin(), pourcents.end()));
        QCOMPARE(pourcents.last(), 100);
        QCOMPARE(Trouves(c.Dm(), "cruci"), QList<int>{6});
        QCOMPARE(Trouves(c.Dm(), "murale"), QList<int>{1});
        QCOMPARE(Trouves(c.Dm(), "masse"), QList<int>{3});
        QCOMPARE(Trouves(c.Dm(), "encastree"), QList<int>{});
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM RechercheProduit"), c.Entier("SELECT COUNT(*) FROM Produit"));
    }

    void champRechercherDeLaFenetreParametrage()
    {
        TCatalogueTest c;
        Catalogue(c);
        TFicheParametreProduit fiche(c.Dm());
        auto* champ = fiche.findChild<QLineEdit*>("edtRecherche");
        auto* liste = fiche.findChild<QTreeView*>("lvProduits");
        auto* arbre = fiche.findChild<QTreeWidget*>("tvProduitType");
        // Built by the window in the background; it says so meanwhile.
        QVERIFY(champ->placeholderText().startsWith("Index de recherche en construction : "));
        QTRY_VERIFY(IndexRechercheInstalle(c.Dm().Connexion()));
        QCOMPARE(champ->accessibleName(), QString("Rechercher"));
        QTRY_COMPARE(champ->placeholderText(), QString("Rechercher un produit (libellé, référence, code export)"));

        arbre->setCurrentItem(arbre->findItems("Outillage", Qt::MatchExactly | Qt::MatchRecursive).first());
        QCOMPARE(Colonne(liste, ColLibelle), QStringList{"Marteau"});
        QTest::keyClicks(champ, "prise");
        // Internal products of the tree's categories, with their category.
        QTRY_COMPARE(Colonne(liste, ColLibelle), QStringList{"Prise 16 A encastrée"});
        QCOMPARE(Colonne(liste, NbColonnesProduit), QStringList{"Électricité"});
        QCOMPARE(liste->model()->headerData(NbColonnesProduit, Qt::Horizontal).toString(), QString("Catégorie"));
        QCOMPARE(fiche.findChild<QLabel*>("lbRecherche")->text(), QString("1 produit trouvé."));

        // Enter on a product's code opens it, in its own category, and the
        // list shows the search again afterwards.
        champ->clear();
        QTest::keyClicks(champ, "pr16");
        TPromptsScriptes prompts;
        QString ouvert;
        TQuandModale<TFicheProduitAddOrUpdate> editeur([&](TFicheProduitAddOrUpdate* w) {
            ouvert = w->findChild<QLineEdit*>("edtLibelle")->text();
            w->findChild<QLineEdit*>("edtLibelle")->setText("Prise 16 A saillie");
            w->findChild<QPushButton*>("btnOk")->click();
        });
        QTest::keyClick(champ, Qt::Key_Return);
        ATTENDRE_MODALE(editeur);
        QCOMPARE(ouvert, QString("Prise 16 A encastrée"));
        QCOMPARE(c.Entier("SELECT IdProduitType FROM Produit WHERE IdProduit = 1"), 1);
        QTRY_COMPARE(Colonne(liste, ColLibelle), QStringList{"Prise 16 A saillie"});
        QCOMPARE(champ->text(), QString("pr16"));

        // Clearing gives the category list back.
        champ->clear();
        QCOMPARE(liste->model()->columnCount(), int(NbColonnesProduit));
        QCOMPARE(Colonne(liste, ColLibelle), (QStringList{"Prise 16 A saillie", "Câble ÉLECTRIQUE 2,5 mm²"}));

        // Choosing a category ends the search.
        QTest::keyClicks(champ, "marteau");
        QTRY_COMPARE(Colonne(liste, ColLibelle), QStringList{"Marteau"});
        arbre->setCurrentItem(arbre->findItems("Outillage", Qt::MatchExactly | Qt::MatchRecursive).first());
        QVERIFY(champ->text().isEmpty());
        QCOMPARE(liste->model()->columnCount(), int(NbColonnesProduit));
        QCOMPARE(Colonne(liste, ColId), QStringList{"3"});
    }

    void champRechercherDuNavigateur()
    {
        TCatalogueTest c;
        Catalogue(c);
        TFicheProduitListe fenetre(c.Dm());
        auto* champ = fenetre.findChild<QLineEdit*>("edtRecherche");
        auto* liste = fenetre.findChild<QTreeView*>("lvProduits");
        auto* arbre = fenetre.findChild<QTreeWidget*>("tvVisualisation");
        QCOMPARE(champ->accessibleName(), QString("Rechercher"));
        // Nothing selected: every origin.
        QTest::keyClicks(champ, "pr16");
        QTRY_COMPARE(Colonne(liste, 1), (QStringList{"1", "4"}));
        QCOMPARE(Colonne(liste, 7), (QStringList{"Électricité", "Standard"}));
        // A root: its origin only.
        arbre->setCurrentItem(arbre->topLevelItem(1));
        QTRY_COMPARE(Colonne(liste, 1), QStringList{"4"});
        // Enter on an export code opens the product view.
        QString vu;
        TQuandModale<TFicheProduitView> vue([&](TFicheProduitView* w) {
            vu = w->findChild<QLabel*>("stLibelle")->text();
            w->reject();
        });
        champ->clear();
        QTest::keyClicks(champ, "STD-PR");
        QTest::keyClick(champ, Qt::Key_Return);
        ATTENDRE_MODALE(vue);
        QCOMPARE(vu, QString("Prise standard"));
        champ->clear();
        QCOMPARE(liste->model()->rowCount(), 0);
    }
};

QTEST_MAIN(TestRecherche)
#include "test_recherche.moc"
