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

#include <QProcess>
#include <QtTest>
#include <cstdio>

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
        // The copy still has a value of it.
        QVERIFY_THROWS_EXCEPTION(ERefus, SupprimerDefinition(*dm, 0, longueur));
        c.Sql("DELETE FROM ProduitCarac");
        SupprimerDefinition(*dm, 0, longueur);
        QVERIFY(DefinitionsInternes(*dm).isEmpty());
    }

    // The editor's "Valider" while another workstation (a till, an office)
    // wrote the same product since the editor opened: what the user did not
    // change stays as stored, a field changed on both sides is asked about,
    // and the history of the stock adds up.
    void ecritureConcurrente_data()
    {
        QTest::addColumn<QString>("autre");  // written meanwhile by another connection
        QTest::addColumn<QString>("champ");  // the one field the user changes
        QTest::addColumn<QString>("saisie");
        QTest::addColumn<bool>("ok");  // the answer to the question, if any
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("stocke");  // stock/price/label/value after "Valider"
        QTest::addColumn<QString>("mouvements");
        const QString vente =
            "UPDATE Produit SET Stock = %1; INSERT INTO \"Transaction\" (Externe, IdProduit,"
            " QuantiteOld, QuantiteNew, Libelle, DateMaj) VALUES (0, 3, 10, %1, 'Vente',"
            " '2025-01-01 10:00:00.000')";
        QTest::newRow("vente, rien touché") << vente.arg(6) << ""
                                            << "" << true << ""
                                            << "6/26/Produit 3/2"
                                            << "10→6";
        QTest::newRow("vente, stock saisi, OK")
            << vente.arg(8) << "stock"
            << "20" << true
            << "Le stock a changé pendant la modification : 10 à l'ouverture, 8 maintenant. Enregistrer 20 ?"
            << "20/26/Produit 3/2"
            << "10→8 8→20";
        QTest::newRow("vente, stock saisi, Annuler")
            << vente.arg(8) << "stock"
            << "20" << false
            << "Le stock a changé pendant la modification : 10 à l'ouverture, 8 maintenant. Enregistrer 20 ?"
            << "8/26/Produit 3/2"
            << "10→8";
        QTest::newRow("prix relevé ailleurs, libellé saisi") << "UPDATE Produit SET PrixVenteHT = 28.6"
                                                             << "libelle"
                                                             << "Vis" << true << ""
                                                             << "10/28.6/Vis/2"
                                                             << "";
        QTest::newRow("libellé changé des deux côtés")
            << "UPDATE Produit SET Libelle = 'Clou'"
            << "libelle"
            << "Vis" << true
            << "Le libellé a changé pendant la modification : « Produit 3 » à l'ouverture, « Clou » maintenant."
               " Enregistrer « Vis » ?"
            << "10/26/Vis/2"
            << "";
        QTest::newRow("prix changé des deux côtés, Annuler")
            << "UPDATE Produit SET PrixVenteHT = 28.6"
            << "prix"
            << "30" << false
            << "Le prix de vente a changé pendant la modification : 26,00 à l'ouverture, 28,60 maintenant."
               " Enregistrer 30,00 ?"
            << "10/28.6/Produit 3/2"
            << "";
        QTest::newRow("valeur changée des deux côtés")
            << "UPDATE ProduitCarac SET Valeur = '3'" << "valeur" << "5" << true
            << "La valeur « Poids » a changé pendant la modification : « 2 » à l'ouverture, « 3 » maintenant."
               " Enregistrer « 5 » ?"
            << "10/26/Produit 3/5" << "";
        QTest::newRow("même stock des deux côtés") << vente.arg(20) << "stock"
                                                   << "20" << true << ""
                                                   << "20/26/Produit 3/2"
                                                   << "10→20";
    }
    void ecritureConcurrente()
    {
        QFETCH(QString, autre);
        QFETCH(QString, champ);
        QFETCH(QString, saisie);
        QFETCH(bool, ok);
        QFETCH(QString, question);
        QFETCH(QString, stocke);
        QFETCH(QString, mouvements);
        TCatalogueTest c;
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, NULL, 'Outillage')");
        c.Sql(
            "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, PrixVenteHT, Stock, StockMini,"
            " DateCreation) VALUES (0, 3, 1, 'Produit 3', 26, 10, 0, '2024-03-18 00:00:00.000')");
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (0, 1, 'Poids', 'kg')");
        c.Sql("INSERT INTO ProduitCarac VALUES (0, 3, 1, '2')");
        const auto poste = c.AutreConnexion();
        const std::optional<TProduit> lu = LireProduit(*poste, 0, 3, 1);
        TDemandeEnregistrement d;
        d.produit = &*lu;
        d.valeurs = d.ouverture = ValeursStockees(*lu);
        d.categorieInitiale = 1;
        d.caracsDepart = d.caracsTravail = *ChargerCaracValeurs(*poste, *lu);
        if (champ == "stock")
            d.valeurs.stock = saisie.toInt();
        else if (champ == "libelle")
            d.valeurs.libelle = saisie;
        else if (champ == "prix")
            d.valeurs.prixVenteHT = saisie.toDouble();
        else if (champ == "valeur") {
            auto v = std::make_shared<TCaracValeur>(*d.caracsTravail.first());
            v->SetValeur(saisie);
            d.caracsTravail = {v};
        }
        for (const QString& sql : autre.split("; "))
            c.Sql(sql);

        TPromptsScriptes prompts;
        prompts.RepondreConfirmation(ok);
        QCOMPARE(EnregistrerProduit(*poste, d).issue,
                 ok ? TIssueEnregistrement::Enregistre : TIssueEnregistrement::Annule);
        QCOMPARE(prompts.Textes(IPrompts::Genre::Confirmation),
                 question.isEmpty() ? QStringList() : QStringList{question});
        const std::optional<TProduit> p = LireProduit(*poste, 0, 3, 1);
        QCOMPARE(QStringLiteral("%1/%2/%3/%4")
                     .arg(p->GetStock())
                     .arg(p->GetPrixVenteHT())
                     .arg(p->GetLibelle(), ChargerCaracValeurs(*poste, *p)->value(0)->GetValeur()),
                 stocke);
        QStringList suite;
        for (const TMouvementStock& m : LireMouvementsStock(*poste, 0, 3))
            suite << QStringLiteral("%1→%2").arg(m.quantiteOld).arg(m.quantiteNew);
        QCOMPARE(suite.join(' '), mouvements);
    }

    // The other windows that write back what they read: a category renamed,
    // a definition changed, a category deleted, each after another
    // workstation's write.
    void autresEcritures()
    {
        TCatalogueTest c;
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, NULL, 'Outillage')");
        c.Sql("INSERT INTO ProduitType VALUES (0, 2, NULL, 'Jardin')");
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (0, 1, 'Poids', 'kg')");
        const auto poste = c.AutreConnexion();
        TPromptsScriptes prompts;

        c.Sql("UPDATE ProduitType SET Libelle = 'Outils' WHERE IdProduitType = 1");
        prompts.RepondreConfirmation(false);
        QCOMPARE(RenommerCategorie(*poste, TObjectNoeud(1, 0), "Outillage", "Quincaillerie"), TIssueAccord::Annule);
        QCOMPARE(LibelleCategorie(*poste, 0, 1), std::optional<QString>("Outils"));
        prompts.RepondreConfirmation(true);
        QCOMPARE(RenommerCategorie(*poste, TObjectNoeud(1, 0), "Outillage", "Quincaillerie"), TIssueAccord::Ecrit);
        QCOMPARE(LibelleCategorie(*poste, 0, 1), std::optional<QString>("Quincaillerie"));
        QCOMPARE(prompts.Textes(IPrompts::Genre::Confirmation).last(),
                 "Le nom de la catégorie a changé pendant la modification : « Outillage » à l'ouverture, « Outils »"
                 " maintenant. Enregistrer « Quincaillerie » ?");

        // The unit changed elsewhere, the label here: both kept, no question.
        TCaracteristiques lue = *LireDefinition(*poste, 0, 1);
        c.Sql("UPDATE ProduitTypeCarac SET Unite = 'g'");
        prompts.Effacer();
        QCOMPARE(ModifierDefinition(*poste, lue, "Masse", "kg"), TIssueAccord::Ecrit);
        QCOMPARE(LireDefinition(*poste, 0, 1)->GetLibelle() + LireDefinition(*poste, 0, 1)->GetUnite(), "Masseg");
        QVERIFY(prompts.Traces().isEmpty());

        // A product put in the category, and a value given to the definition,
        // by another workstation after the window listed them.
        c.Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType) VALUES (0, 5, 2)");
        QVERIFY_THROWS_EXCEPTION(ERefus, SupprimerCategorie(*poste, TObjectNoeud(2, 0)));
        c.Sql("INSERT INTO ProduitCarac VALUES (0, 5, 1, '3')");
        QVERIFY_THROWS_EXCEPTION(ERefus, SupprimerDefinition(*poste, 0, 1));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType") + c.Entier("SELECT COUNT(*) FROM ProduitTypeCarac"), 3);
    }

    // Several processes adding at once through the core: every product,
    // category, definition and duplicate gets its own number.
    void ajoutsSimultanes()
    {
        TCatalogueTest c;
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, NULL, 'Outillage')");
        c.FermerDm();
        constexpr int Processus = 4, Ajouts = 15;
        std::vector<std::unique_ptr<QProcess>> enfants;
        for (int i = 0; i < Processus; ++i) {
            auto p = std::make_unique<QProcess>();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("KESTRAVEL_AJOUTS",
                       QStringLiteral("%1;%2;%3").arg(g_serveur ? c.Serveur() : c.Chemin()).arg(i).arg(Ajouts));
            env.insert("KESTRAVEL_AJOUTS_SERVEUR", g_serveur ? "1" : "0");
            p->setProcessEnvironment(env);
            p->start(QCoreApplication::applicationFilePath(), {});
            enfants.push_back(std::move(p));
        }
        for (auto& p : enfants) {
            QVERIFY(p->waitForFinished(120000));
            QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
        }
        const auto compte = [&](const char* table, const char* cle) {
            return c.Entier(QStringLiteral("SELECT COUNT(DISTINCT %1) FROM %2").arg(cle, table));
        };
        QCOMPARE(compte("Produit", "IdProduit"), Processus * Ajouts * 2);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit"), Processus * Ajouts * 2);
        QCOMPARE(compte("ProduitType", "IdProduitType"), Processus * Ajouts + 1);
        QCOMPARE(compte("ProduitTypeCarac", "IdProduitCarac"), Processus * Ajouts);
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

namespace {
// A child of ajoutsSimultanes: adds products, duplicates, categories and
// definitions on the catalogue named, as fast as it can.
int Ajouter(const QStringList& consigne, bool serveur)
{
    try {
        const auto base = serveur ? std::make_unique<TdmKestravel>(consigne[0], TdmKestravel::Serveur::Oui)
                                  : std::make_unique<TdmKestravel>(consigne[0]);
        TdmKestravel& dm = *base;
        TPromptsScriptes prompts;
        for (int i = 0; i < consigne[2].toInt(); ++i) {
            const QString nom = QStringLiteral("%1-%2").arg(consigne[1]).arg(i);
            TDemandeEnregistrement d;
            d.valeurs.libelle = nom;
            d.categorieCible = 1;
            const int id = EnregistrerProduit(dm, d).idProduit;
            DupliquerProduit(dm, 0, id, 1);
            AjouterCategorie(dm, TObjectNoeud(1, 0), nom);
            AjouterDefinition(dm, nom, "u");
        }
    } catch (const EKestravel& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
}  // namespace

// The operations on a catalogue file, then on the server.
int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariableIsSet("KESTRAVEL_AJOUTS"))
        return Ajouter(qEnvironmentVariable("KESTRAVEL_AJOUTS").split(';'),
                       qEnvironmentVariable("KESTRAVEL_AJOUTS_SERVEUR") == "1");
    return ExecuterSurLesDeuxMoteurs<TestServices>(argc, argv);
}
#include "test_services.moc"
