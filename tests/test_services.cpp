// The catalogue's operations on a second connection to the catalogue, as
// another process has: the same results as the windows get.

#include "core/base/prompts.h"
#include "core/catalogue/caracteristiques.h"
#include "core/catalogue/categories.h"
#include "core/catalogue/duplication.h"
#include "core/catalogue/enregistrement.h"
#include "core/catalogue/hausse.h"
#include "core/catalogue/historique.h"
#include "core/catalogue/produits.h"
#include "core/store/catalogue.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"

#include <QtTest>

class TestServices : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { LocaleFrancaise(); }

    void categories()
    {
        TCatalogueTest c;
        // Parents the host may leave: missing, an empty text (a file's
        // column takes any value), negative.
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, NULL, 'Outillage')");
        c.Sql(g_serveur ? "INSERT INTO ProduitType VALUES (0, 2, NULL, 'Électricité')"
                        : "INSERT INTO ProduitType VALUES (0, 2, '', 'Électricité')");
        c.Sql("INSERT INTO ProduitType VALUES (0, 3, -2, 'Bois')");
        c.Sql("INSERT INTO ProduitType VALUES (0, 4, 1, 'Scies')");
        c.Sql("INSERT INTO ProduitType VALUES (1, 5, NULL, 'Jardin')");
        c.Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType) VALUES (0, 10, 4)");
        const auto dm = c.AutreConnexion();

        QCOMPARE(LibelleCategorie(*dm, 0, 2), std::optional<QString>(QStringLiteral("Électricité")));
        QCOMPARE(LibelleCategorie(*dm, 1, 2), std::nullopt);
        for (const char* pris : {"OUTILLAGE", "électricité", "bois"})
            QVERIFY_THROWS_EXCEPTION(ERefus, ValiderLibelleCategorie(*dm, 0, 0, QString::fromUtf8(pris)));
        ValiderLibelleCategorie(*dm, 0, 1, "Bois");
        ValiderLibelleCategorie(*dm, 0, 0, "Jardin");

        QCOMPARE(AjouterCategorie(*dm, TObjectNoeud(1, 0), "Marteaux"), 5);
        QCOMPARE(c.Entier("SELECT IdParent FROM ProduitType WHERE Externe = 0 AND IdProduitType = 5"), 1);
        QCOMPARE(AjouterCategorie(*dm, TObjectNoeud(0, 0), "Peinture"), 6);
        QCOMPARE(
            c.Entier("SELECT COUNT(*) FROM ProduitType WHERE Externe = 0 AND IdProduitType = 6 AND IdParent IS NULL"),
            1);
        // The empty parent is the root: its siblings are there.
        QVERIFY_THROWS_EXCEPTION(ERefus, RenommerCategorie(*dm, TObjectNoeud(2, 0), "Électricité", "PEINTURE"));
        QVERIFY_THROWS_EXCEPTION(ERefus, RenommerCategorie(*dm, TObjectNoeud(5, 0), "Marteaux", "scies"));
        RenommerCategorie(*dm, TObjectNoeud(2, 0), "Électricité", "Électricité générale");
        QCOMPARE(LibelleCategorie(*dm, 0, 2), std::optional<QString>(QStringLiteral("Électricité générale")));

        QVERIFY_THROWS_EXCEPTION(ERefus, SupprimerCategorie(*dm, TObjectNoeud(1, 0)));  // subcategories
        QVERIFY_THROWS_EXCEPTION(ERefus, SupprimerCategorie(*dm, TObjectNoeud(4, 0)));  // a product
        QCOMPARE(SupprimerCategorie(*dm, TObjectNoeud(2, 0)), std::optional<int>(0));
        QCOMPARE(SupprimerCategorie(*dm, TObjectNoeud(5, 0)), std::optional<int>(1));
        QCOMPARE(SupprimerCategorie(*dm, TObjectNoeud(9, 0)), std::nullopt);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 5);
        QCOMPARE(LireCategories(*dm).size(), 5);
    }

    void produits()
    {
        TCatalogueTest c;
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, NULL, 'Outillage')");
        c.Sql("INSERT INTO ProduitType VALUES (0, 2, 1, 'Scies')");
        const auto dm = c.AutreConnexion();
        TPromptsScriptes prompts;

        const int longueur = AjouterDefinition(*dm, "Longueur", "cm");
        QVERIFY(DefinitionEnDouble(*dm, "LONGUEUR", "CM"));
        QVERIFY(!DefinitionUtilisee(*dm, 0, longueur));

        TDemandeEnregistrement d;
        d.valeurs.libelle = QStringLiteral("Scie égoïne");
        d.valeurs.reference = "SE1";
        d.valeurs.dateCreation = QDate(2024, 5, 6);
        d.valeurs.prixVenteHT = 12.5;
        d.valeurs.stock = 4;
        auto valeur = std::make_shared<TCaracValeur>();
        valeur->SetIdProduitCarac(longueur);
        valeur->SetValeur("55");
        d.caracsTravail << valeur;
        d.categorieCible = 2;
        const TResultatEnregistrement r = EnregistrerProduit(*dm, d);
        QCOMPARE(r.issue, TIssueEnregistrement::Enregistre);
        QCOMPARE(r.idProduit, 1);
        QVERIFY(DefinitionUtilisee(*dm, 0, longueur));

        const std::optional<TProduit> p = LireProduit(*dm, 0, 1, 2);
        QVERIFY(p);
        QCOMPARE(p->GetLibelle(), QStringLiteral("Scie égoïne"));
        QCOMPARE(p->GetDateCreation(), QStringLiteral("06/05/2024"));
        QCOMPARE(p->GetPrixVenteHT(), 12.5);
        QCOMPARE(p->GetStock(), 4);
        const auto valeurs = ChargerCaracValeurs(*dm, *p);
        QCOMPARE(valeurs->size(), 1);
        QCOMPARE(valeurs->first()->GetLibelle(), QStringLiteral("Longueur"));

        // A change of stock is one movement; a product gone meanwhile is
        // told and nothing is written.
        TDemandeEnregistrement m = d;
        m.produit = &*p;
        m.categorieInitiale = 2;
        m.categorieCible.reset();
        m.caracsDepart = m.caracsTravail;
        m.ouverture = ValeursStockees(*p);
        m.valeurs.stock = 7;
        QCOMPARE(EnregistrerProduit(*dm, m).issue, TIssueEnregistrement::Enregistre);
        const QVector<TMouvementStock> mouvements = LireMouvementsStock(*dm, 0, 1);
        QCOMPARE(mouvements.size(), 2);
        QCOMPARE(mouvements[0].libelle, QStringLiteral("Ajout"));
        QCOMPARE(mouvements[1].quantiteOld, 4);
        QCOMPARE(mouvements[1].quantiteNew, 7);

        QCOMPARE(DupliquerProduit(*dm, 0, 1, 2), 2);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitCarac WHERE IdProduit = 2 AND Valeur = '55'"), 1);
        QCOMPARE(HausserCategorie(*dm, 2, HausseEuros, 1), 2);
        QCOMPARE(c.Entier("SELECT SUM(PrixVenteHT) * 10 FROM Produit"), 270);
        QVERIFY(DeplacerProduit(*dm, 0, 2, 2, 1));
        QVERIFY(!DeplacerProduit(*dm, 0, 2, 2, 1));

        QVERIFY(SupprimerProduit(*dm, 1, 2));
        QVERIFY(!SupprimerProduit(*dm, 1, 2));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitCarac WHERE IdProduit = 1"), 0);
        m.valeurs.stock = 9;
        QCOMPARE(EnregistrerProduit(*dm, m).issue, TIssueEnregistrement::ProduitDisparu);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM \"Transaction\""), 2);

        ModifierDefinition(*dm, *LireDefinition(*dm, 0, longueur), "Largeur", "mm");
        QCOMPARE(LireDefinition(*dm, 0, longueur)->GetUnite(), QStringLiteral("mm"));
        SupprimerDefinition(*dm, 0, longueur);
        QVERIFY(DefinitionsInternes(*dm).isEmpty());
    }

    void echecDuMoteur()
    {
        // A statement the engine refuses reaches the caller with the
        // engine's own words, and the transaction leaves nothing behind.
        if (g_serveur)
            QSKIP("déclencheur propre au fichier");
        TCatalogueTest c;
        c.Sql(
            "CREATE TRIGGER Refus BEFORE INSERT ON ProduitTypeCarac BEGIN SELECT RAISE(ABORT, 'refus du moteur');"
            " END");
        const auto dm = c.AutreConnexion();
        try {
            AjouterDefinition(*dm, "Poids", "kg");
            QFAIL("pas d'échec");
        } catch (const EDatabaseError& e) {
            QVERIFY2(e.Message().contains("refus du moteur"), qPrintable(e.Message()));
        }
        QVERIFY(!dm->Connexion().EnTransaction());
        c.Sql("DROP TRIGGER Refus");
        QCOMPARE(AjouterDefinition(*dm, "Poids", "kg"), 1);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitTypeCarac"), 1);
    }
};

// The operations on a catalogue file, then on the server.
int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    return ExecuterSurLesDeuxMoteurs<TestServices>(argc, argv);
}
#include "test_services.moc"
