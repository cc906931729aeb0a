// The catalogue on a PostgreSQL server (the run's private server): where the
// installation says it is, creating it with its least-privilege role,
// moving a file catalogue onto it, and a server that cannot be reached.

#include "core/base/emplacement.h"
#include "core/serveur/catalogueserveur.h"
#include "core/serveur/libpq.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"
#include "tools/demo.h"

#include <QProcess>
#include <QtTest>

namespace {
QStringList Valeurs(TConnexionPg& c, const QString& sql)
{
    const TResultatPg r = c.Executer(sql);
    QStringList v;
    for (int l = 0; l < r.Lignes(); ++l)
        for (int k = 0; k < r.Colonnes(); ++k)
            v << (r.Nul(l, k) ? QStringLiteral("<nul>") : r.Texte(l, k));
    return v;
}

bool Accepte(TConnexionPg& c, const QString& sql)
{
    try {
        c.Executer(sql);
        return true;
    } catch (const EDatabaseError&) {
        return false;
    }
}
}  // namespace

class TestServeur : public QObject {
    Q_OBJECT
private slots:
    void emplacementSelonLaConfiguration()
    {
        QTemporaryDir d;
        QCOMPARE(EmplacementCatalogue(d.path()).fichier, d.path() + "/Kestravel.abs");
        QVERIFY(!EmplacementCatalogue(d.path()).SurServeur());

        EcrireFichier(d.filePath("Kestravel.conf"), "[Autre]\nServeur=x\n[catalogue]\r\nSERVEUR = host=/run/pg dbname=k \r\n");
        const TEmplacementCatalogue e = EmplacementCatalogue(d.path());
        QVERIFY(e.SurServeur());
        QCOMPARE(e.serveur, QString("host=/run/pg dbname=k"));
        QVERIFY(e.fichier.isEmpty());

        // A key left empty keeps the file.
        EcrireFichier(d.filePath("Kestravel.conf"), "[Catalogue]\nServeur=\n");
        QVERIFY(!EmplacementCatalogue(d.path()).SurServeur());
    }

    void creationEtDroits()
    {
        TBaseServeurTest base;
        CreerCatalogueServeur(base.Connexion());
        TConnexionPg c(base.Connexion());
        QCOMPARE(Valeurs(c, "SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = 'public'"),
                 QStringList{"7"});

        // A second creation changes nothing and says why, also from the tool.
        try {
            CreerCatalogueServeur(base.Connexion());
            QFAIL("catalogue créé deux fois");
        } catch (const EKestravel& e) {
            QVERIFY2(e.Message().contains("a déjà un catalogue Kestravel"), qPrintable(e.Message()));
        }
        QProcess outil;
        outil.start(qEnvironmentVariable("KESTRAVEL_DB_BIN"), {"create", "--server", base.Connexion()});
        QVERIFY(outil.waitForFinished(60000));
        QCOMPARE(outil.exitCode(), 1);
        QVERIFY(QString::fromLocal8Bit(outil.readAllStandardError()).contains("rien n'a été créé"));

        // A till logs in with a role of the module's group: the tables, yes;
        // anything else, no.
        const QString role = "caisse_" + QString::number(QCoreApplication::applicationPid());
        c.Executer(QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE %2").arg(role, RoleCatalogue));
        {
            TConnexionPg caisse(base.ConnexionComme(role));
            QVERIFY(Accepte(caisse, "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Stock) VALUES (0, 1, 1, 5)"));
            QVERIFY(Accepte(caisse, "UPDATE Produit SET Stock = Stock - 1"));
            QVERIFY(Accepte(caisse, "INSERT INTO \"Transaction\" (Externe, IdProduit) VALUES (0, 1)"));
            QVERIFY(Accepte(caisse, "INSERT INTO ControleEnCours VALUES ('a', 'b', 'c')"));
            QVERIFY(Accepte(caisse, "SELECT Version FROM KestravelSchema"));
            QVERIFY(Accepte(caisse, "DELETE FROM ProduitCarac"));
            QVERIFY(!Accepte(caisse, "UPDATE KestravelSchema SET Version = 99"));
            QVERIFY(!Accepte(caisse, "CREATE TABLE Intrus (x INTEGER)"));
            QVERIFY(!Accepte(caisse, "DROP TABLE Produit"));
        }
        c.Executer("DROP OWNED BY " + role);
        c.Executer("DROP ROLE " + role);
    }

    void migrationDUnFichier()
    {
        TCatalogueTest fichier;
        RemplirCatalogueDemo(fichier.Chemin());
        // Values the copy must carry exactly: cents, empty cells, texts with
        // the copy format's own separators.
        fichier.Sql("UPDATE Produit SET PrixVenteHT = 2.675, PrixAchatHT = 131072.01, Description = ?,"
                    " Reference = NULL WHERE IdProduit = 1 AND Externe = 0",
                    {QString("ligne 1\nligne 2\tcolonne \\N fin\r")});
        const int transactions = fichier.Entier("SELECT COUNT(*) FROM \"Transaction\"");
        const int dernier = fichier.Entier("SELECT MAX(IdTransaction) FROM \"Transaction\"");
        fichier.FermerDm();

        TBaseServeurTest base;
        const qint64 copiees = MigrerVersServeur(fichier.Chemin(), base.Connexion());
        TConnexionPg c(base.Connexion());
        fichier.Dm();
        qint64 attendu = 0;
        for (const char* t : {"Produit", "ProduitType", "ProduitCarac", "ProduitTypeCarac", "\"Transaction\""}) {
            const int n = fichier.Entier(QStringLiteral("SELECT COUNT(*) FROM ") + t);
            QCOMPARE(Valeurs(c, QStringLiteral("SELECT COUNT(*) FROM ") + t), QStringList{QString::number(n)});
            attendu += n;
        }
        QCOMPARE(copiees, attendu);
        QCOMPARE(Valeurs(c, "SELECT PrixVenteHT, PrixAchatHT, Description, Reference FROM Produit"
                            " WHERE IdProduit = 1 AND Externe = 0"),
                 (QStringList{"2.675", "131072.01", "ligne 1\nligne 2\tcolonne \\N fin\r", "<nul>"}));
        QCOMPARE(Valeurs(c, "SELECT COUNT(*) FROM \"Transaction\""), QStringList{QString::number(transactions)});
        // New stock movements are numbered after the copied ones.
        QCOMPARE(Valeurs(c, "INSERT INTO \"Transaction\" (Externe, IdProduit) VALUES (0, 1) RETURNING IdTransaction"),
                 QStringList{QString::number(dernier + 1)});

        // Onto a catalogue that is not empty: refused, and nothing moves.
        try {
            MigrerVersServeur(fichier.Chemin(), base.Connexion());
            QFAIL("copie sur un catalogue non vide");
        } catch (const EKestravel& e) {
            QVERIFY2(e.Message().contains("n'est pas vide"), qPrintable(e.Message()));
        }
        QCOMPARE(Valeurs(c, "SELECT COUNT(*) FROM \"Transaction\""), QStringList{QString::number(transactions + 1)});
    }

    void serveurInjoignable()
    {
        QTemporaryDir d;
        try {
            TConnexionPg c("host=" + d.path() + " dbname=kestravel user=caisse connect_timeout=5");
            QFAIL("connexion à un serveur absent");
        } catch (const EDatabaseError& e) {
            QVERIFY2(e.Message().startsWith(
                         QStringLiteral("Connexion impossible au serveur du catalogue « %1, base kestravel »").arg(d.path())),
                     qPrintable(e.Message()));
        }
    }
};

QTEST_MAIN(TestServeur)
#include "test_serveur.moc"
