// The statement layer and every path that reaches the engine through it: a
// failing prepare, bind or step is reported with the engine's own message,
// nothing is left half-written and no statement is left behind.

#include "core/catalogue/hausse.h"
#include "core/exchange/controlestock.h"
#include "core/exchange/synchronisation.h"
#include "core/interchange/interchange.h"
#include "core/store/acces.h"
#include "core/store/basesql.h"
#include "core/store/dialecte.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/lignesproduits.h"
#include "core/store/recherche.h"
#include "tests/soutien.h"

#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QtTest>

namespace {
// Statements not yet finalized on the connection.
int Instructions(sqlite3* base)
{
    int n = 0;
    for (sqlite3_stmt* st = sqlite3_next_stmt(base, nullptr); st; st = sqlite3_next_stmt(base, st))
        ++n;
    return n;
}

// While it lives, every statement of the connection fails on its next step
// with the engine's "interrupted", as a lost disk or a cancelled read would
// make it fail midway.
class TInterruption {
public:
    explicit TInterruption(sqlite3* base) : m_base(base)
    {
        sqlite3_progress_handler(
            m_base, 1, [](void*) { return 1; }, nullptr);
    }
    ~TInterruption() { sqlite3_progress_handler(m_base, 0, nullptr, nullptr); }

private:
    sqlite3* m_base;
};

// The message of the EKestravel (or subclass) `action` throws; empty when
// it throws nothing.
template <typename F>
QString Message(F action)
{
    try {
        action();
    } catch (const EKestravel& e) {
        return e.Message();
    }
    return QString();
}

// A write refused by the engine itself, with its own text.
const char* const Refus = "refus du test";
QString Declencheur(const QString& moment, const QString& table)
{
    return QStringLiteral("CREATE TRIGGER Refus%1 BEFORE %1 ON %2 BEGIN SELECT RAISE(ABORT, '%3'); END")
        .arg(moment, table, QLatin1String(Refus));
}

void Produit(TCatalogueTest& c, int id, int type, int stock)
{
    c.Sql(
        "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference, CodeExport, PrixAchatHT,"
        " PrixTarifHT, PrixVenteHT, Stock, StockMini) VALUES (0, ?, ?, ?, 'R', 'C', 1, 2, 3, ?, 0)",
        {id, type, QStringLiteral("Vis %1").arg(id), stock});
}
}  // namespace

class TestBaseSql : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void instructionsEtTransactions()
    {
        TCatalogueTest c;
        const TBaseSql& base = c.Dm().Connexion();
        const int avant = Instructions(base.Handle());

        // Prepare, bind and step each throw with the engine's text, and the
        // statement is finalized on the way out.
        QString m = Message([&] { TInstructionSql(base, QStringLiteral("SELECT * FROM Absente")); });
        QVERIFY2(m.contains("no such table: Absente"), qPrintable(m));
        m = Message([&] {
            TInstructionSql q(base, QStringLiteral("SELECT ?"));
            q.LierEntier(2, 1);
        });
        QVERIFY2(m.contains("column index out of range"), qPrintable(m));
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, 'Vis')");
        m = Message([&] {
            TInstructionSql q(base, QStringLiteral("INSERT INTO ProduitType VALUES (0, 1, 0, 'Clous')"));
            q.Executer();
        });
        QVERIFY2(m.startsWith("Le catalogue contient déjà") && m.contains("UNIQUE constraint failed"), qPrintable(m));
        QCOMPARE(Instructions(base.Handle()), avant);

        // Values come back with their type; a null view binds null and an
        // empty one an empty text.
        {
            TInstructionSql q(base, QStringLiteral("SELECT ?, ?, ?, ?, ? IS NULL, ?"));
            q.LierEntier(1, 1LL << 40);
            q.LierReel(2, 2.5);
            q.LierTexte(3, QStringLiteral("é"));
            q.LierNul(4);
            q.LierTexte(5, QByteArrayView());
            q.LierTexte(6, QByteArrayView("", 0));
            QVERIFY(q.Etape());
            QCOMPARE(q.Valeur(0), QVariant(qint64(1) << 40));
            QCOMPARE(q.Valeur(1), QVariant(2.5));
            QCOMPARE(q.Valeur(2), QVariant(QStringLiteral("é")));
            QVERIFY(q.EstNul(3) && !q.Valeur(3).isValid());
            QCOMPARE(q.Entier(4), 1);
            QVERIFY(!q.EstNul(5));
            QVERIFY(!q.Etape());
        }

        // A guard left without Commit rolls back; one inside an open
        // transaction leaves the outcome to the outer one.
        {
            TTransactionSql t(base);
            base.Executer(QStringLiteral("DELETE FROM ProduitType"));
        }
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 1);
        {
            TTransactionSql exterieure(base);
            {
                TTransactionSql interieure(base);
                base.Executer(QStringLiteral("DELETE FROM ProduitType"));
                interieure.Commit();
            }
            QVERIFY(base.EnTransaction());
        }
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 1);
        {
            TTransactionSql t(base);
            base.Executer(QStringLiteral("DELETE FROM ProduitType"));
            t.Commit();
        }
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 0);
        QVERIFY(!base.EnTransaction());

        // A file that cannot be opened is reported with the engine's reason.
        m = Message([&] {
            TBaseSql(QDir::temp().filePath("absent/absent.abs"), TBaseSql::Acces::Ecriture,
                     QStringLiteral("Ouverture."));
        });
        QVERIFY2(m.startsWith("Ouverture.\n") && m.contains("unable to open database file"), qPrintable(m));
    }

    void curseurSignaleChaqueEchec()
    {
        TCatalogueTest c;
        TdmKestravel& dm = c.Dm();
        for (int i = 1; i <= 3; ++i)
            c.Sql("INSERT INTO ProduitType VALUES (0, ?, 0, 'Rayon')", {i});
        TCurseur& t = dm.tblProduitType;
        t.First();
        QCOMPARE(t.RecordCount(), 3);
        {
            TInterruption coupure(dm.Handle());
            // A count that fails is an error, not an empty table.
            QString m = Message([&] { t.RecordCount(); });
            QVERIFY2(m.contains("interrupted"), qPrintable(m));
            m = Message([&] { t.Last(); });
            QVERIFY2(m.contains("interrupted"), qPrintable(m));
            m = Message([&] { TrouverCle(t, {0, 2}); });
            QVERIFY2(m.contains("interrupted"), qPrintable(m));
        }
        // The cursor works again once the cause is gone.
        QVERIFY(TrouverCle(t, {0, 2}));
        QCOMPARE(t.AsInteger("IdProduitType"), 2);

        c.Sql(Declencheur("INSERT", "ProduitType"));
        c.Sql(Declencheur("UPDATE", "ProduitType"));
        c.Sql(Declencheur("DELETE", "ProduitType"));
        QString m = Message([&] {
            t.Insert();
            t.SetField("Externe", 0);
            t.SetField("IdProduitType", 9);
            t.Post();
        });
        QVERIFY2(m.contains(Refus), qPrintable(m));
        t.Cancel();
        QVERIFY(TrouverCle(t, {0, 2}));
        m = Message([&] {
            t.Edit();
            t.SetField("Libelle", "Autre");
            t.Post();
        });
        QVERIFY2(m.contains(Refus), qPrintable(m));
        t.Cancel();
        m = Message([&] { t.Delete(); });
        QVERIFY2(m.contains(Refus), qPrintable(m));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType WHERE Libelle = 'Rayon'"), 3);
    }

    void listesRechercheEtRequetesQt()
    {
        TCatalogueTest c;
        TdmKestravel& dm = c.Dm();
        for (int i = 1; i <= 5; ++i)
            Produit(c, i, 1, 10);
        InstallerIndexRecherche(dm.Connexion());
        TCritereRecherche critere;
        critere.texte = "vis";
        QCOMPARE(Rechercher(dm.Connexion(), critere).lignes.Taille(), 5);
        {
            TInterruption coupure(dm.Handle());
            const QString m = Message([&] { LireProduitsCategorie(dm, 0, 1); });
            QVERIFY2(m.startsWith("Lecture des produits impossible.") && m.contains("interrupted"), qPrintable(m));
            const TResultatRecherche r = Rechercher(dm.Connexion(), critere);
            QVERIFY2(r.erreur.contains("interrupted"), qPrintable(r.erreur));
            QVERIFY(r.lignes.EstVide());
        }
        // A row read that fails midway is an error, not the end of the rows.
        TInstructionSql q = Interroger(dm.Connexion(), "SELECT IdProduit FROM Produit ORDER BY IdProduit");
        QVERIFY(q.Etape());
        QCOMPARE(q.Entier(0), 1);
        TInterruption coupure(dm.Handle());
        const QString m = Message([&] { q.Etape(); });
        QVERIFY2(m.contains("interrupted"), qPrintable(m));
    }

    void csvControleHausseEtSynchro()
    {
        TCatalogueTest c;
        TdmKestravel& dm = c.Dm();
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, 'Vis')");
        for (int i = 1; i <= 3; ++i)
            Produit(c, i, 1, 10);
        QTemporaryDir dossier;

        // CSV export whose read fails: the engine's reason, no file left.
        {
            TInterruption coupure(dm.Handle());
            const QString m = Message([&] { ExporterTable(dm, TTableCsv::Produit, dossier.path()); });
            QVERIFY2(m.contains("interrupted"), qPrintable(m));
        }
        QVERIFY(QDir(dossier.path()).entryList(QDir::Files).isEmpty());

        // CSV import whose insert the engine refuses: its reason, table as it was.
        const QString exporte = ExporterTable(dm, TTableCsv::ProduitType, dossier.path()).chemin;
        QVERIFY(QFile::rename(exporte, CheminImport(TTableCsv::ProduitType, dossier.path())));
        c.Sql(Declencheur("INSERT", "ProduitType"));
        QString m = Message([&] { ImporterTable(dm, TTableCsv::ProduitType, dossier.path()); });
        QVERIFY2(m.contains(Refus) && m.contains("n'a pas été modifiée"), qPrintable(m));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 1);

        // Price increase and stock request refused by the engine: its reason,
        // nothing moved, the request file as it was.
        c.Sql(Declencheur("UPDATE", "Produit"));
        m = Message([&] { AppliquerHausse(dm, 1, HausseEuros, 1, false); });
        QVERIFY2(m.contains(Refus), qPrintable(m));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit WHERE PrixAchatHT = 1"), 3);
        const QString demande = QDir(dossier.path()).filePath("demande.xml");
        const QByteArray contenu =
            "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Kestravel><Produit "
            "Type=\"Commander\" Externe=\"0\" IdProduit=\"1\" IdProduitType=\"1\" "
            "Quantite=\"2\"/></Kestravel>\n";
        EcrireFichier(demande, contenu);
        m = Message([&] { ControlerStock(dm.Connexion(), dm.CheminBase(), demande); });
        QVERIFY2(m.contains(Refus), qPrintable(m));
        QCOMPARE(c.Entier("SELECT Stock FROM Produit WHERE IdProduit = 1"), 10);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM \"Transaction\""), 0);
        QCOMPARE(LireFichier(demande).toUtf8(), contenu);

        // SYNCHRO from a source that is no database: the engine's reason.
        TInstallation cible;
        TInstallation abimee(false);
        EcrireFichier(abimee.Base(), QByteArray(8192, 'x'));
        TdmKestravel dmCible(cible.Base());
        m = Message([&] { Synchroniser(dmCible, abimee.Racine(), cible.Racine()); });
        QVERIFY2(m.contains("file is not a database"), qPrintable(m));
    }
};

QTEST_GUILESS_MAIN(TestBaseSql)
#include "test_basesql.moc"
