// The product editor's save, without the window: rows, stock movements,
// characteristic values, category move, image files and the transaction.
#include "core/base/chemins.h"
#include "core/base/prompts.h"
#include "core/catalogue/enregistrement.h"
#include "core/store/acces.h"
#include "core/store/catalogue.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
using Genre = IPrompts::Genre;

void Produit(TCatalogueTest& c, int externe, int id, int categorie, int stock = 0, const QString& lien = {})
{
    c.Sql(
        "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Lien, Stock, StockMini, DateCreation)"
        " VALUES (?, ?, ?, ?, ?, ?, 0, '2024-03-18 00:00:00.000')",
        {externe, id, categorie, QStringLiteral("Produit %1").arg(id), lien, stock});
}

TCaracValeurPtr Valeur(int idCarac, const QString& valeur)
{
    auto v = std::make_shared<TCaracValeur>();
    v->SetIdProduitCarac(idCarac);
    v->SetValeur(valeur);
    return v;
}

TDemandeEnregistrement NouveauProduit(int categorie, const QString& libelle = "Vis")
{
    TDemandeEnregistrement d;
    d.valeurs.libelle = libelle;
    d.valeurs.dateCreation = QDate(2025, 1, 15);
    d.categorieInitiale = categorie;
    d.categorieCible = categorie;
    return d;
}

TDemandeEnregistrement Modification(const TProduit& p)
{
    TDemandeEnregistrement d;
    d.produit = &p;
    d.valeurs = d.ouverture = ValeursStockees(p);
    d.categorieInitiale = p.GetIdProduitType();
    d.categorieCible = p.GetIdProduitType();
    if (p.GetCaracValeurs())
        d.caracsDepart = d.caracsTravail = *p.GetCaracValeurs();
    return d;
}

// The first column of every row, joined by commas.
QString Texte(TCatalogueTest& c, const QString& sql, const QVariantList& v = {})
{
    TInstructionSql q = Interroger(c.Dm().Connexion(), sql, v);
    QStringList lignes;
    while (q.Etape())
        lignes << q.Texte(0);
    return lignes.isEmpty() ? QStringLiteral("<aucune ligne>") : lignes.join(',');
}
}  // namespace

class TestEnregistrementProduit : public QObject {
    Q_OBJECT
    QTemporaryDir m_admin;
    QTemporaryDir m_sources;
    std::unique_ptr<TCatalogueTest> m_cat;

    TCatalogueTest& Cat() { return *m_cat; }
    QString Source(const QString& nom, const QByteArray& contenu)
    {
        EcrireFichier(m_sources.filePath(nom), contenu);
        return m_sources.filePath(nom);
    }

private slots:
    void initTestCase()
    {
        LocaleFrancaise();
        SetDossierAdministration(m_admin.path());
    }
    void init()
    {
        m_cat = std::make_unique<TCatalogueTest>();
        QDir(CheminImages()).removeRecursively();
        Cat().Sql("INSERT INTO ProduitType VALUES (0, 3, 0, 'Visserie'), (0, 4, 0, 'Outillage')");
    }
    void cleanup() { m_cat.reset(); }

    void identifiants()
    {
        TPromptsScriptes prompts;
        QCOMPARE(EnregistrerProduit(Cat().Dm(), NouveauProduit(3)).idProduit, 1);

        init();
        for (int id : {1, 2, 7})
            Produit(Cat(), 0, id, 3);
        Produit(Cat(), 1, 40, 3);
        Produit(Cat(), 2, 41, 3);
        const TResultatEnregistrement r = EnregistrerProduit(Cat().Dm(), NouveauProduit(3));
        QCOMPARE(r.issue, TIssueEnregistrement::Enregistre);
        QCOMPARE(r.idProduit, 8);
        QCOMPARE(r.categorie, 3);
        QCOMPARE(Cat().Entier("SELECT IdProduitType FROM Produit WHERE Externe = 0 AND IdProduit = 8"), 3);
        QVERIFY(prompts.Messages().isEmpty());
    }

    void refus()
    {
        TPromptsScriptes prompts;
        TDemandeEnregistrement d = NouveauProduit(3, "");
        QCOMPARE(EnregistrerProduit(Cat().Dm(), d).issue, TIssueEnregistrement::LibelleVide);
        QCOMPARE(prompts.Textes(Genre::Message), QStringList{"Veuillez renseigner un libellé"});

        d = NouveauProduit(0);
        QCOMPARE(EnregistrerProduit(Cat().Dm(), d).issue, TIssueEnregistrement::CategorieRefusee);
        QCOMPARE(prompts.Textes(Genre::Information),
                 QStringList{"Impossible de placer un produit dans la racine Interne"});
        d.categorieCible.reset();
        QCOMPARE(EnregistrerProduit(Cat().Dm(), d).issue, TIssueEnregistrement::CategorieRefusee);
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM Produit"), 0);

        // Blanks are a label.
        d = NouveauProduit(3, "   ");
        QCOMPARE(EnregistrerProduit(Cat().Dm(), d).issue, TIssueEnregistrement::Enregistre);
        QCOMPARE(Texte(Cat(), "SELECT Libelle FROM Produit"), QString("   "));
    }

    void lignesEcrites()
    {
        TPromptsScriptes prompts;
        TDemandeEnregistrement d = NouveauProduit(3);
        d.valeurs.reference = "REF-1";
        d.valeurs.codeExport = "EXP";
        d.valeurs.description = "Vis à bois";
        d.valeurs.prixAchatHT = 19.999f;
        d.valeurs.prixTarifHT = 0.1f;
        d.valeurs.prixVenteHT = 12.345f;
        d.valeurs.stock = 10;
        d.valeurs.stockMini = 3;
        EnregistrerProduit(Cat().Dm(), d);
        TInstructionSql q =
            Interroger(Cat().Dm().Connexion(),
                       "SELECT Reference, CodeExport, Description, PrixAchatHT, PrixTarifHT, PrixVenteHT,"
                       " Stock, StockMini, Lien, DateCreation FROM Produit WHERE IdProduit = 1");
        QVERIFY(q.Etape());
        QCOMPARE(q.Valeur(0).toString(), QString("REF-1"));
        QCOMPARE(q.Valeur(1).toString(), QString("EXP"));
        QCOMPARE(q.Valeur(2).toString(), QString("Vis à bois"));
        QCOMPARE(q.Valeur(3).toDouble(), 20.0);
        QCOMPARE(q.Valeur(4).toDouble(), 0.1);
        QCOMPARE(q.Valeur(5).toDouble(), 12.35);
        QCOMPARE(q.Valeur(6).toInt(), 10);
        QCOMPARE(q.Valeur(7).toInt(), 3);
        QCOMPARE(q.Valeur(8).toString(), QString(""));
        QCOMPARE(LireProduit(Cat().Dm(), 0, 1, 3)->GetDateCreation(), QString("15/01/2025"));

        // One "Ajout" movement without a former quantity.
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM \"Transaction\""), 1);
        QCOMPARE(Texte(Cat(), "SELECT Libelle FROM \"Transaction\""), QString("Ajout"));
        QCOMPARE(Cat().Entier("SELECT QuantiteNew FROM \"Transaction\""), 10);
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM \"Transaction\" WHERE QuantiteOld IS NULL"
                              " AND IdProduitType IS NULL"),
                 1);

        d.valeurs.stock = 0;
        EnregistrerProduit(Cat().Dm(), d);
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM \"Transaction\""), 1);
    }

    void mouvementsModification()
    {
        TPromptsScriptes prompts;
        Produit(Cat(), 0, 5, 3, 10);
        // Each save from an editor opened on the product as stored then.
        const auto enregistrer = [&](std::optional<int> stock) {
            const TProduit p = *LireProduit(Cat().Dm(), 0, 5, 3);
            TDemandeEnregistrement d = Modification(p);
            if (stock)
                d.valeurs.stock = *stock;
            EnregistrerProduit(Cat().Dm(), d);
        };
        enregistrer(std::nullopt);  // stock unchanged
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM \"Transaction\""), 0);
        enregistrer(0);  // down to 0: no movement
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM \"Transaction\""), 0);
        QCOMPARE(Cat().Entier("SELECT Stock FROM Produit"), 0);
        enregistrer(4);
        QCOMPARE(Texte(Cat(), "SELECT Libelle || ' ' || QuantiteOld || ' ' || QuantiteNew FROM \"Transaction\""),
                 QString("Mis à jour 0 4"));
        QCOMPARE(Cat().Entier("SELECT Stock FROM Produit"), 4);
        QVERIFY(prompts.Traces().isEmpty());
    }

    void produitDisparu()
    {
        // Deleted by another workstation meanwhile: nothing at all is written,
        // not even the values, the movement or the image, and the user is told.
        TPromptsScriptes prompts;
        Produit(Cat(), 0, 5, 3, 10);
        const TProduit p = *LireProduit(Cat().Dm(), 0, 5, 3);
        Cat().Sql("DELETE FROM Produit");
        TDemandeEnregistrement d = Modification(p);
        d.valeurs.stock = 2;
        d.caracsTravail << Valeur(1, "rouge");
        d.categorieCible = 4;
        d.imageChoisie = Source("Vis.jpg", "jpeg-vis");
        prompts.RepondreConfirmation(true);
        QCOMPARE(EnregistrerProduit(Cat().Dm(), d).issue, TIssueEnregistrement::ProduitDisparu);
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM Produit"), 0);
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM \"Transaction\""), 0);
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM ProduitCarac"), 0);
        QCOMPARE(QDir(CheminImagesInterne()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(prompts.DernierMessage().startsWith("Ce produit n'existe plus"));
    }

    void caracteristiques()
    {
        TPromptsScriptes prompts;
        Cat().Sql("INSERT INTO ProduitTypeCarac VALUES (0, 1, 'Poids', 'kg'), (0, 2, 'Couleur', '')");
        Produit(Cat(), 0, 5, 3);
        Cat().Sql("INSERT INTO ProduitCarac VALUES (0, 5, 1, '12'), (0, 5, 2, 'bleu'), (1, 5, 2, 'externe')");
        TProduit p = *LireProduit(Cat().Dm(), 0, 5, 3);
        p.SetCaracValeurs(ChargerCaracValeurs(Cat().Dm(), p));
        QCOMPARE(p.GetCaracValeurs()->size(), 2);

        // Weight removed, colour removed and given again with a new value,
        // a kept value keeps its row even if the object says otherwise.
        TDemandeEnregistrement d = Modification(p);
        const TCaracValeurPtr poids = d.caracsDepart[0];
        poids->SetValeur("changé hors de la base");
        d.caracsTravail = {poids};
        EnregistrerProduit(Cat().Dm(), d);
        QCOMPARE(Texte(Cat(),
                       "SELECT IdCarac || '=' || Valeur FROM ProduitCarac"
                       " WHERE ExterneProduitCaracV = 0"),
                 QString("1=12"));

        p.SetCaracValeurs(ChargerCaracValeurs(Cat().Dm(), p));
        d = Modification(p);
        d.caracsTravail = {Valeur(1, "15")};
        EnregistrerProduit(Cat().Dm(), d);
        QCOMPARE(Texte(Cat(),
                       "SELECT IdCarac || '=' || Valeur FROM ProduitCarac"
                       " WHERE ExterneProduitCaracV = 0"),
                 QString("1=15"));
        // Another origin's values are never touched.
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM ProduitCarac WHERE ExterneProduitCaracV = 1"), 1);

        // A new product writes every value of its list.
        TDemandeEnregistrement n = NouveauProduit(3);
        n.caracsTravail = {Valeur(2, "vert"), Valeur(1, "3")};
        const int id = EnregistrerProduit(Cat().Dm(), n).idProduit;
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM ProduitCarac WHERE IdProduit = ?", {id}), 2);
    }

    void deplacement()
    {
        TPromptsScriptes prompts;
        Produit(Cat(), 0, 5, 3);
        const TProduit p = *LireProduit(Cat().Dm(), 0, 5, 3);
        TDemandeEnregistrement d = Modification(p);
        d.valeurs.libelle = "Vis renommée";
        d.categorieCible = 4;

        prompts.RepondreConfirmation(false);
        TResultatEnregistrement r = EnregistrerProduit(Cat().Dm(), d);
        QCOMPARE(r.issue, TIssueEnregistrement::Enregistre);
        QCOMPARE(r.categorie, 4);
        QCOMPARE(prompts.Textes(Genre::Confirmation),
                 QStringList{"Vous voulez vraiment changer l'emplacement du produit?"});
        QCOMPARE(Cat().Entier("SELECT IdProduitType FROM Produit"), 3);
        QCOMPARE(Texte(Cat(), "SELECT Libelle FROM Produit"), QString("Vis renommée"));
        QVERIFY(prompts.Messages().isEmpty());

        prompts.Effacer();
        prompts.RepondreConfirmation(true);
        EnregistrerProduit(Cat().Dm(), d);
        QCOMPARE(Cat().Entier("SELECT IdProduitType FROM Produit"), 4);
        QCOMPARE(prompts.Messages(), QStringList{"Le produit a été déplacé dans la catégorie Outillage"});

        // The root is refused; the rest is saved.
        Cat().Sql("UPDATE Produit SET IdProduitType = 3");
        const TProduit relu = *LireProduit(Cat().Dm(), 0, 5, 3);  // an editor opened again
        d.produit = &relu;
        d.ouverture = ValeursStockees(relu);
        prompts.Effacer();
        d.categorieCible = 0;
        d.valeurs.libelle = "Encore";
        r = EnregistrerProduit(Cat().Dm(), d);
        QCOMPARE(r.issue, TIssueEnregistrement::Enregistre);
        QCOMPARE(r.categorie, 0);
        QVERIFY(prompts.Textes(Genre::Confirmation).isEmpty());
        QCOMPARE(prompts.Messages(), QStringList{"Impossible de placer un produit dans la racine Interne"});
        QCOMPARE(Cat().Entier("SELECT IdProduitType FROM Produit"), 3);
        QCOMPARE(Texte(Cat(), "SELECT Libelle FROM Produit"), QString("Encore"));

        // No node selected: the product stays where it is.
        prompts.Effacer();
        d.categorieCible.reset();
        r = EnregistrerProduit(Cat().Dm(), d);
        QCOMPARE(r.categorie, 3);
        QVERIFY(prompts.Traces().isEmpty());
    }

    void images()
    {
        TPromptsScriptes prompts;
        for (int id : {1, 2, 7})
            Produit(Cat(), 0, id, 3);
        TDemandeEnregistrement d = NouveauProduit(3);
        d.imageChoisie = Source("Vis.JPG", "jpeg-vis");
        TResultatEnregistrement r = EnregistrerProduit(Cat().Dm(), d);
        QCOMPARE(r.lien, QString("8.jpg"));
        QCOMPARE(Texte(Cat(), "SELECT Lien FROM Produit WHERE IdProduit = 8"), QString("8.jpg"));
        QCOMPARE(LireFichier(CheminImagesInterne() + "8.jpg"), QString("jpeg-vis"));
        QCOMPARE(QDir(CheminImagesInterne()).entryList(QDir::Files | QDir::Hidden), QStringList{"8.jpg"});

        // Without an image: empty link, nothing copied.
        r = EnregistrerProduit(Cat().Dm(), NouveauProduit(3));
        QCOMPARE(Texte(Cat(), "SELECT Lien FROM Produit WHERE IdProduit = ?", {r.idProduit}), QString(""));
        QCOMPARE(QDir(CheminImagesInterne()).entryList(QDir::Files | QDir::Hidden).size(), 1);

        // A file of another kind never becomes a path in the catalogue.
        d = NouveauProduit(3);
        d.imageChoisie = Source("notice.pdf", "pdf");
        r = EnregistrerProduit(Cat().Dm(), d);
        QCOMPARE(Texte(Cat(), "SELECT Lien FROM Produit WHERE IdProduit = ?", {r.idProduit}), QString(""));
        QVERIFY(prompts.Messages().isEmpty());
    }

    void remplacementImage()
    {
        TPromptsScriptes prompts;
        QDir().mkpath(CheminImagesInterne());
        EcrireFichier(CheminImagesInterne() + "5.bmp", "ancienne");
        EcrireFichier(CheminImagesInterne() + "6.jpg", "ancienne 6");
        Produit(Cat(), 0, 5, 3, 0, "5.bmp");
        Produit(Cat(), 0, 6, 3, 0, "6.jpg");

        const TProduit p5 = *LireProduit(Cat().Dm(), 0, 5, 3);
        TDemandeEnregistrement d = Modification(p5);
        d.imageChoisie = Source("photo.jpeg", "nouvelle");
        QCOMPARE(EnregistrerProduit(Cat().Dm(), d).lien, QString("5.jpeg"));
        QVERIFY(!QFile::exists(CheminImagesInterne() + "5.bmp"));
        QCOMPARE(LireFichier(CheminImagesInterne() + "5.jpeg"), QString("nouvelle"));
        QCOMPARE(Texte(Cat(), "SELECT Lien FROM Produit WHERE IdProduit = 5"), QString("5.jpeg"));

        // Same name: replaced in place.
        const TProduit p6 = *LireProduit(Cat().Dm(), 0, 6, 3);
        d = Modification(p6);
        d.imageChoisie = Source("autre.jpg", "nouvelle 6");
        EnregistrerProduit(Cat().Dm(), d);
        QCOMPARE(LireFichier(CheminImagesInterne() + "6.jpg"), QString("nouvelle 6"));
        QCOMPARE(QDir(CheminImagesInterne()).entryList(QDir::Files | QDir::Hidden), (QStringList{"5.jpeg", "6.jpg"}));

        // A picked file that cannot be read leaves the old image and says so.
        d.imageChoisie = m_sources.filePath("disparue.bmp");
        EnregistrerProduit(Cat().Dm(), d);
        QCOMPARE(Texte(Cat(), "SELECT Lien FROM Produit WHERE IdProduit = 6"), QString("6.jpg"));
        QCOMPARE(LireFichier(CheminImagesInterne() + "6.jpg"), QString("nouvelle 6"));
        QCOMPARE(prompts.Messages().size(), 1);
        QVERIFY2(prompts.DernierMessage().startsWith("L'image choisie n'a pas pu être copiée dans le dossier des "
                                                     "images.\nLe fichier ou son dossier est introuvable"),
                 qPrintable(prompts.DernierMessage()));
    }

    void erreurBaseSansEffet()
    {
        // A failure on the last row leaves the product, its values and its
        // image as they were.
        TPromptsScriptes prompts;
        QDir().mkpath(CheminImagesInterne());
        EcrireFichier(CheminImagesInterne() + "5.bmp", "ancienne");
        Produit(Cat(), 0, 5, 3, 10, "5.bmp");
        Cat().Sql("INSERT INTO ProduitCarac VALUES (0, 5, 1, '12')");
        Cat().Refuser("INSERT", "ProduitCarac", "NEW.IdCarac = 9");
        TProduit p = *LireProduit(Cat().Dm(), 0, 5, 3);
        p.SetCaracValeurs(std::make_shared<TListeCaracValeurs>(TListeCaracValeurs{Valeur(1, "12")}));
        TDemandeEnregistrement d = Modification(p);
        d.valeurs.libelle = "Modifié";
        d.valeurs.stock = 4;
        d.caracsTravail = {Valeur(9, "x")};
        d.imageChoisie = Source("n.jpg", "nouvelle");
        d.categorieCible = 4;
        prompts.RepondreConfirmation(true);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, EnregistrerProduit(Cat().Dm(), d));
        QCOMPARE(Texte(Cat(), "SELECT Libelle || ' ' || Stock || ' ' || Lien || ' ' || IdProduitType FROM Produit"),
                 QString("Produit 5 10 5.bmp 3"));
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM \"Transaction\""), 0);
        QCOMPARE(Cat().Entier("SELECT COUNT(*) FROM ProduitCarac WHERE IdCarac = 1"), 1);
        QCOMPARE(QDir(CheminImagesInterne()).entryList(QDir::Files | QDir::Hidden), QStringList{"5.bmp"});
        QCOMPARE(LireFichier(CheminImagesInterne() + "5.bmp"), QString("ancienne"));
        // The question came before the failed write, and no success was told.
        QCOMPARE(prompts.Textes(Genre::Confirmation).size(), 1);
        QVERIFY(prompts.Messages().isEmpty());
    }

    void extensions()
    {
        QCOMPARE(ExtensionImage("/a/b/Vis.JPG"), QString(".jpg"));
        QCOMPARE(ExtensionImage("/a/b.d/sans"), QString());
        QVERIFY(ExtensionImageAcceptee(".jpeg"));
        QVERIFY(ExtensionImageAcceptee(".bmp"));
        QVERIFY(!ExtensionImageAcceptee(".png"));
        QVERIFY(!ExtensionImageAcceptee(""));
    }
};

// On a catalogue file, then on the server.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return ExecuterSurLesDeuxMoteurs<TestEnregistrementProduit>(argc, argv);
}
#include "test_product_enregistrement.moc"
