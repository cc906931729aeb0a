// CSV files of the catalogue tables: the writer, the parser, export then
// import of every table on awkward content, the all-or-nothing import and its
// messages, and the kestravel-db export/import commands.

#include "interchange/formatcsv.h"
#include "interchange/interchange.h"
#include "store/dates.h"
#include "store/dmkestravel.h"
#include "store/format.h"
#include "tests/soutien.h"

#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Every row of a table in key order, one text per row.
QStringList Lignes(TCatalogueTest& c, const QString& table, const QString& ordre)
{
    QSqlQuery q = ExecuterSql(c.Dm().Base(), QStringLiteral("SELECT * FROM \"%1\" ORDER BY %2").arg(table, ordre));
    QStringList r;
    while (q.next()) {
        QStringList champs;
        for (int i = 0; i < q.record().count(); ++i)
            champs << (q.value(i).isNull() ? QStringLiteral("<nul>") : q.value(i).toString());
        r << champs.join(QLatin1Char('|'));
    }
    return r;
}

// Export, then give every file its import name.
void ExporterPourImport(TdmKestravel& dm, TTableCsv t, const QString& dossier)
{
    const QString chemin = ExporterTable(dm, t, dossier);
    QFile::remove(CheminImport(t, dossier));
    QVERIFY(QFile::rename(chemin, CheminImport(t, dossier)));
}

QList<QStringList> Lire(const QByteArray& octets, int colonnes, bool* complet = nullptr,
                        QList<qint64>* numeros = nullptr)
{
    QList<QStringList> r;
    TCodePage cp;
    TLecteurCsv l(colonnes, [&](const QList<QByteArrayView>& champs, qint64 ligne) {
        QStringList textes;
        for (QByteArrayView c : champs)
            textes << cp.Decoder(c);
        r << textes;
        if (numeros)
            *numeros << ligne;
    });
    l.Lire(octets);
    const bool ok = l.Terminer();
    if (complet)
        *complet = ok;
    return r;
}
}  // namespace

class TestCsv : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void ecriture()
    {
        QByteArray ligne;
        AjouterChampCsv(ligne, "Vis \"A\"");
        AjouterChampCsv(ligne, "5;6");
        AjouterChampCsv(ligne, "");
        TerminerLigneCsv(ligne);
        QCOMPARE(ligne, QByteArray("\"Vis \"\"A\"\"\";\"5;6\";\"\";\r\n"));

        TCodePage cp;
        QCOMPARE(cp.Encoder(QString::fromUtf8("é€")), QByteArray("\xe9\x80"));
        // One "?" per character the code page lacks, a surrogate pair included.
        QCOMPARE(cp.Encoder(QString::fromUtf8("a中😀b")), QByteArray("a??b"));
        QCOMPARE(cp.Encoder(QString::fromUtf8("\x1a中")), QByteArray("\x1a?"));
        QCOMPARE(cp.Decoder("\xe9\x80\x9c"), QString::fromUtf8("é€œ"));

        QCOMPARE(NettoyerTexteProduit("Vis; acier"), QString("Vis acier"));
        QCOMPARE(NettoyerTexteProduit("a\r\nb;\nc"), QString("a\\r\\nb\nc"));
        QCOMPARE(RestaurerTexteProduit("a\\r\\nb"), QString("a\r\nb"));
    }

    void lecture_data()
    {
        QTest::addColumn<QByteArray>("octets");
        QTest::addColumn<QList<QStringList>>("attendu");
        QTest::newRow("export") << QByteArray("\"1\";\"a\";\r\n\"2\";\"b\";\r\n")
                                << QList<QStringList>{{"1", "a"}, {"2", "b"}};
        QTest::newRow("guillemets, ; et fins de ligne dans un champ")
            << QByteArray("\"1\";\"5;6 \"\"x\"\"\r\nsuite\";\r\n") << QList<QStringList>{{"1", "5;6 \"x\"\r\nsuite"}};
        QTest::newRow("sans guillemets, dernière ligne sans fin")
            << QByteArray("1;a b\r\n2;\"c\"") << QList<QStringList>{{"1", "a b"}, {"2", "c"}};
        QTest::newRow("guillemet au milieu d'un champ nu") << QByteArray("1;po\"uce\n")
                                                          << QList<QStringList>{{"1", "po\"uce"}};
        QTest::newRow("champs manquants ou en trop, lignes vides")
            << QByteArray("\r\n1\r\n\n1;2;3;4\n") << QList<QStringList>{{"1", ""}, {"1", "2"}};
        QTest::newRow("vide") << QByteArray() << QList<QStringList>{};
        QTest::newRow("Windows-1252") << QByteArray("\"\x80\";\"\xe9t\xe9\";\r\n")
                                      << QList<QStringList>{{QString::fromUtf8("€"), QString::fromUtf8("été")}};
    }

    void lecture()
    {
        QFETCH(QByteArray, octets);
        QFETCH(QList<QStringList>, attendu);
        QCOMPARE(Lire(octets, 2), attendu);
        // Fed one byte at a time, as across the reads of a large file.
        QList<QByteArrayList> r;
        TLecteurCsv l(2, [&](const QList<QByteArrayView>& champs, qint64) {
            r << QByteArrayList{champs[0].toByteArray(), champs[1].toByteArray()};
        });
        for (char c : octets)
            l.Lire(QByteArrayView(&c, 1));
        QVERIFY(l.Terminer());
        QCOMPARE(r.size(), attendu.size());
        TCodePage cp;
        for (int i = 0; i < r.size(); ++i)
            QCOMPARE((QStringList{cp.Decoder(r[i][0]), cp.Decoder(r[i][1])}), attendu[i]);
    }

    void lectureNumerosEtGuillemetOuvert()
    {
        QList<qint64> numeros;
        Lire("\"a\";\"x\r\ny\";\r\n\"b\";\r\n\r\n\"c\"\r\n", 2, nullptr, &numeros);
        QCOMPARE(numeros, (QList<qint64>{1, 3, 5}));
        bool complet = true;
        numeros.clear();
        QCOMPARE(int(Lire("\"a\";\r\n\"b\";\"jamais fermé\r\nc;\r\n", 2, &complet, &numeros).size()), 1);
        QVERIFY(!complet);
    }

    void dates()
    {
        QCOMPARE(NormaliserDateHeureBase("2024-04-02"), QString("2024-04-02 00:00:00.000"));
        QCOMPARE(NormaliserDateHeureBase("2024-04-02 10:15:30"), QString("2024-04-02 10:15:30.000"));
        QCOMPARE(NormaliserDateHeureBase("2024-04-02T10:15:30.250"), QString("2024-04-02 10:15:30.250"));
        for (const char* faux : {"2024-02-30", "2024-04-02 24:00:00", "2024-4-2", "02/04/2024", "2024-04-02 10:15",
                                 "aaaa-bb-cc"})
            QVERIFY2(NormaliserDateHeureBase(faux).isEmpty(), faux);
    }

    // Every table through the export and back through the import gives the
    // same rows, but for the product file's text cleaning and the two
    // decimals of prices.
    void allerRetour()
    {
        TCatalogueTest c;
        const QString texte = QString::fromUtf8("« Clé » \"5;6\" €\r\nligne 2\nfin");
        c.Sql("INSERT INTO Produit VALUES (0, 1, 2, ?, ?, 12.5, 0, -3.456, ?, '2024-04-02 10:15:30.250', ?, ?, "
              "-7, 9000000000)",
              {texte, "CODE;\"1\"", "Vis; acier", "R;1", "1.jpg"});
        c.Sql("INSERT INTO Produit VALUES (2, 99999999, 1, ?, '', 1234567.891, 0.001, 0, '', "
              "'2024-01-31 23:59:59.999', '', '', 0, 0)",
              {"l1\r\nl2"});
        c.Sql("INSERT INTO ProduitCarac VALUES (0, 1, 3, ?)", {texte});
        c.Sql("INSERT INTO ProduitCarac VALUES (1, 1, 3, '')");
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, ?)", {texte});
        c.Sql("INSERT INTO ProduitType VALUES (1, -4, 1, 'x\"')");
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (0, 1, ?, ?)", {texte, "m²"});
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (1, 9, 'Vide', '')");
        c.Sql("INSERT INTO \"Transaction\" VALUES (7, 0, 1, 2, 5, -3, ?, '2024-04-02 10:15:30.250')", {texte});
        c.Sql("INSERT INTO \"Transaction\" VALUES (12, 0, 1, 2, 2147483648, 0, 'Ajout', '2023-12-31 00:00:00.000')");

        const QString cleaned = QString::fromUtf8("« Clé » \"56\" €\r\nligne 2\nfin");
        const QStringList produits = {
            "0|1|2|" + cleaned + "|CODE;\"1\"|12.5|0|-3.46|Vis acier|2024-04-02 10:15:30.250|R1|1.jpg|-7|9000000000",
            "2|99999999|1|l1\r\nl2||1234567.89|0|0||2024-01-31 23:59:59.999|||0|0"};
        QTemporaryDir dossier;
        TdmKestravel& dm = c.Dm();
        struct Cas {
            TTableCsv table;
            QString nom, ordre;
        };
        const QList<Cas> cas = {{TTableCsv::Produit, "Produit", "Externe, IdProduit"},
                                {TTableCsv::ProduitCarac, "ProduitCarac", "ExterneProduitCaracV, IdProduit"},
                                {TTableCsv::ProduitType, "ProduitType", "Externe, IdProduitType"},
                                {TTableCsv::ProduitTypeCarac, "ProduitTypeCarac", "Externe"},
                                {TTableCsv::Transaction, "Transaction", "IdTransaction"}};
        for (const Cas& k : cas) {
            const QStringList avant = k.table == TTableCsv::Produit ? produits : Lignes(c, k.nom, k.ordre);
            ExporterPourImport(dm, k.table, dossier.path());
            const TResultatImport r = ImporterTable(dm, k.table, dossier.path());
            QCOMPARE(r.supprimees, qint64(2));
            QCOMPARE(r.inserees, qint64(2));
            QCOMPARE(Lignes(c, k.nom, k.ordre), avant);
            // A second round gives the same again.
            ExporterPourImport(dm, k.table, dossier.path());
            ImporterTable(dm, k.table, dossier.path());
            QCOMPARE(Lignes(c, k.nom, k.ordre), avant);
        }
    }

    void formatExport()
    {
        TCatalogueTest c;
        c.Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, PrixAchatHT, PrixTarifHT, PrixVenteHT, Libelle,"
              " DateCreation) VALUES (0, 3, 1, 12.5, 0, NULL, 'Vis; acier', '2024-04-02')");
        c.Sql("INSERT INTO ProduitCarac VALUES (0, 3, 1, '5;\"6\"')");
        QTemporaryDir dossier;
        const QDateTime avant = QDateTime::currentDateTime();
        const QString chemin = ExporterTable(c.Dm(), TTableCsv::Produit, dossier.path());
        // yyyyMMdd_HHmmss of the moment of the export.
        const QString nom = QFileInfo(chemin).fileName();
        QVERIFY2(QRegularExpression("^\\d{8}_\\d{6}_export_produit\\.csv$").match(nom).hasMatch(), qPrintable(nom));
        QVERIFY(nom.left(15) >= avant.toString("yyyyMMdd_HHmmss"));
        QFile f(chemin);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(),
                 QByteArray("\"Externe\";\"IdProduit\";\"IdProduitType\";\"Description\";\"CodeExport\";"
                            "\"PrixAchatHT\";\"PrixTarifHT\";\"PrixVenteHT\";\"Libelle\";\"DateCreation\";"
                            "\"Reference\";\"Lien\";\"Stock\";\"StockMini\";\r\n"
                            "\"0\";\"3\";\"1\";\"\";\"\";\"12,50\";\"0,00\";\"0,00\";\"Vis acier\";"
                            "\"2024-04-02 00:00:00.000\";\"\";\"\";\"\";\"\";\r\n"));

        QFile v(ExporterTable(c.Dm(), TTableCsv::ProduitCarac, dossier.path()));
        QVERIFY(v.open(QIODevice::ReadOnly));
        QVERIFY(v.readAll().endsWith("\"0\";\"3\";\"1\";\"5;\"\"6\"\"\";\r\n"));

        // An empty table: the header alone.
        QFile t(ExporterTable(c.Dm(), TTableCsv::ProduitTypeCarac, dossier.path()));
        QVERIFY(t.open(QIODevice::ReadOnly));
        QCOMPARE(t.readAll(), QByteArray("\"Externe\";\"IdProduitCarac\";\"Libelle\";\"Unite\";\r\n"));

        // No folder of that name: nothing is written.
        try {
            ExporterTable(c.Dm(), TTableCsv::Produit, dossier.filePath("absent"));
            QFAIL("pas d'erreur");
        } catch (const EInterchange& e) {
            QCOMPARE(e.Message(), QString("Exportation - Une erreur est survenue pendant la création du fichier."));
        }
    }

    // Prices follow the locale's decimal separator; the C form is read too.
    void separateursDecimaux()
    {
        TCatalogueTest c;
        QTemporaryDir dossier;
        const QByteArray entete = "Externe;IdProduit;IdProduitType;Description;CodeExport;PrixAchatHT;PrixTarifHT;"
                                  "PrixVenteHT;Libelle;DateCreation;Reference;Lien;Stock;StockMini\r\n";
        EcrireFichier(CheminImport(TTableCsv::Produit, dossier.path()),
                      entete + "0;1;1;;;12,50;3.25;7;;2024-04-02;;;1;1\r\n");
        ImporterTable(c.Dm(), TTableCsv::Produit, dossier.path());
        QCOMPARE(Lignes(c, "Produit", "IdProduit").value(0).section('|', 5, 7), QString("12.5|3.25|7"));

        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QString chemin = ExporterTable(c.Dm(), TTableCsv::Produit, dossier.path());
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        QVERIFY(LireFichier(chemin).contains("\"12.50\";\"3.25\";\"7.00\";"));
        // The English file read back under a French locale.
        QFile::remove(CheminImport(TTableCsv::Produit, dossier.path()));
        QFile::rename(chemin, CheminImport(TTableCsv::Produit, dossier.path()));
        ImporterTable(c.Dm(), TTableCsv::Produit, dossier.path());
        QCOMPARE(Lignes(c, "Produit", "IdProduit").value(0).section('|', 5, 7), QString("12.5|3.25|7"));
    }

    // The short way of reading plain amounts gives what the locale's parser
    // gives, in locales with either separator and another minus sign.
    void lectureMontants()
    {
        for (const QLocale::Language langue : {QLocale::French, QLocale::English, QLocale::German, QLocale::Swedish,
                                              QLocale::Arabic}) {
            QLocale::setDefault(QLocale(langue));
            QLocale loc;
            loc.setNumberOptions(QLocale::RejectGroupSeparator);
            for (const char* t : {"-12,50", "12,50", "12.50", "7", "-0,5", "12.", ",5", "1.234,5", "1e3", "-",
                                  "12,345678", "9007199254740993", " 3,5 "}) {
                bool attenduOk = false;
                double attendu = loc.toDouble(QString(t).trimmed(), &attenduOk);
                if (!attenduOk)
                    attendu = QLocale::c().toDouble(QString(t).trimmed(), &attenduOk);
                bool ok = false;
                const double v = LireMontant(t, &ok);
                QVERIFY2(ok == attenduOk && v == (attenduOk ? attendu : 0.0),
                         qPrintable(loc.name() + " " + t + " " + QString::number(v)));
            }
        }
        LocaleFrancaise();
    }

    void conversionsImport()
    {
        TCatalogueTest c;
        QTemporaryDir dossier;
        c.Sql("INSERT INTO \"Transaction\" VALUES (40, 0, 1, 1, 0, 1, 'Ajout', '2020-01-01 00:00:00.000')");
        EcrireFichier(CheminImport(TTableCsv::Transaction, dossier.path()),
                      "\"IdTransaction\";\"Externe\";\r\n"
                      "\"\";\"0\";\"1\";\"\";\"\";\"4\";\"Ajout\";\"\";\r\n"
                      "\"5\";\"0\";\"1\";\"2\";\"1\";\"4\";\"Ajout\";\"2024-04-02\";\r\n"
                      "\"6\";\"0\";\"1\";\"2\";\"1\";\"4\";\"Ajout\";\"2024-04-02 10:15:30\";\r\n"
                      "\"IdTransaction\";\"n'importe où\";\r\n"
                      "\"\";\"0\";\"1\";\"2\";\"1\";\"4\";\"Ajout\";\"2024-04-02 10:15:30.007\"");
        const TResultatImport r = ImporterTable(c.Dm(), TTableCsv::Transaction, dossier.path());
        QCOMPARE(r.supprimees, qint64(1));
        QCOMPARE(r.inserees, qint64(4));
        const QStringList l = Lignes(c, "Transaction", "IdTransaction");
        QCOMPARE(l.size(), 4);
        QCOMPARE(l[0], QString("5|0|1|2|1|4|Ajout|2024-04-02 00:00:00.000"));
        QCOMPARE(l[1], QString("6|0|1|2|1|4|Ajout|2024-04-02 10:15:30.000"));
        // Empty numbers are 0; an empty date is the moment of the import;
        // empty movement numbers are given by the database.
        QVERIFY2(l[2].startsWith("41|0|1|0|0|4|Ajout|"), qPrintable(l[2]));
        const QDateTime date = QDateTime::fromString(l[2].section('|', 7), "yyyy-MM-dd HH:mm:ss.zzz");
        QVERIFY(qAbs(date.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(l[3], QString("42|0|1|2|1|4|Ajout|2024-04-02 10:15:30.007"));
    }

    // A failing line leaves the former rows; the message names the line.
    void importToutOuRien_data()
    {
        QTest::addColumn<QByteArray>("ligne3");
        QTest::addColumn<QString>("raison");
        QTest::newRow("clé en double") << QByteArray("\"0\";\"1\";\"0\";\"Autre\";") << "UNIQUE constraint failed";
        QTest::newRow("entier") << QByteArray("\"0\";\"2x\";\"0\";\"Autre\";")
                                << QString::fromUtf8("« 2x » n'est pas un nombre entier (colonne IdProduitType)");
        QTest::newRow("guillemet non fermé") << QByteArray("\"0\";\"2\";\"0\";\"Autre;")
                                            << "guillemet ouvert mais jamais fermé";
    }

    void importToutOuRien()
    {
        QFETCH(QByteArray, ligne3);
        QFETCH(QString, raison);
        TCatalogueTest c;
        QTemporaryDir dossier;
        c.Sql("INSERT INTO ProduitType VALUES (0, 7, 0, 'Ancienne')");
        EcrireFichier(CheminImport(TTableCsv::ProduitType, dossier.path()),
                      "\"Externe\";\"IdProduitType\";\"IdParent\";\"Libelle\";\r\n"
                      "\"0\";\"1\";\"0\";\"Outils\";\r\n" + ligne3 + "\r\n0;3;0;Fin\r\n");
        try {
            ImporterTable(c.Dm(), TTableCsv::ProduitType, dossier.path());
            QFAIL("pas d'erreur");
        } catch (const EInterchange&) {
            QFAIL("message simple au lieu de l'erreur");
        } catch (const EKestravel& e) {
            QVERIFY2(e.Message().startsWith("Importation - Ligne 3 du fichier import_produit_type.csv : "),
                     qPrintable(e.Message()));
            QVERIFY2(e.Message().contains(raison), qPrintable(e.Message()));
            QVERIFY(e.Message().contains(QString::fromUtf8("La table ProduitType n'a pas été modifiée.")));
        }
        QCOMPARE(Lignes(c, "ProduitType", "IdProduitType"), QStringList{"0|7|0|Ancienne"});
    }

    void importFichiers()
    {
        TCatalogueTest c;
        QTemporaryDir dossier;
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (0, 1, 'Poids', 'g'), (0, 2, 'Taille', '')");
        auto message = [&](TTableCsv t) {
            try {
                ImporterTable(c.Dm(), t, dossier.path());
            } catch (const EInterchange& e) {
                return e.Message();
            }
            return QString();
        };
        const QString chemin = CheminImport(TTableCsv::ProduitTypeCarac, dossier.path());
        QCOMPARE(message(TTableCsv::ProduitTypeCarac),
                 "Importation - Le fichier d'importation n'existe pas : " + chemin);
        // A folder of that name exists but cannot be read as a file.
        QDir().mkpath(chemin);
        QCOMPARE(message(TTableCsv::ProduitTypeCarac),
                 "Importation - Une erreur est survenue pendant l'ouverture du fichier : " + chemin);
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitTypeCarac"), 2);
        QDir(chemin).removeRecursively();

        // The header alone, then an empty file: the table is emptied.
        EcrireFichier(chemin, "\"Externe\";\"IdProduitCarac\";\"Libelle\";\"Unite\";\r\n");
        QCOMPARE(ImporterTable(c.Dm(), TTableCsv::ProduitTypeCarac, dossier.path()).supprimees, qint64(2));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitTypeCarac"), 0);
        c.Sql("INSERT INTO ProduitTypeCarac VALUES (0, 1, 'Poids', 'g')");
        EcrireFichier(chemin, "");
        const TResultatImport r = ImporterTable(c.Dm(), TTableCsv::ProduitTypeCarac, dossier.path());
        QCOMPARE(r.supprimees, qint64(1));
        QCOMPARE(r.inserees, qint64(0));
        QCOMPARE(MessageLignesSupprimees(TTableCsv::ProduitTypeCarac, 1),
                 QString::fromUtf8("ProduitTypeCarac : Nombre de lignes supprimées = 1"));
    }

    // A write lock held by another process: the table cannot be emptied.
    void vidageImpossible()
    {
        TCatalogueTest c;
        QTemporaryDir dossier;
        EcrireFichier(CheminImport(TTableCsv::ProduitType, dossier.path()), "");
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, 'Outils')");
        QSqlDatabase autre = QSqlDatabase::addDatabase("QSQLITE", "autre");
        autre.setDatabaseName(c.Chemin());
        autre.setConnectOptions("QSQLITE_BUSY_TIMEOUT=0");
        QVERIFY(autre.open());
        ExecuterSql(autre, "BEGIN IMMEDIATE");
        ExecuterSql(c.Dm().Base(), "PRAGMA busy_timeout = 0");
        try {
            ImporterTable(c.Dm(), TTableCsv::ProduitType, dossier.path());
            QFAIL("pas d'erreur");
        } catch (const EInterchange& e) {
            QCOMPARE(e.Message(),
                     QString("Importation - Une erreur est survenue pendant le vidage de la table ProduitType."));
        }
        ExecuterSql(autre, "ROLLBACK");
        autre.close();
        autre = QSqlDatabase();
        QSqlDatabase::removeDatabase("autre");
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 1);
    }

    void outil()
    {
        TCatalogueTest c;
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, 'Outils')");
        c.FermerDm();
        QTemporaryDir dossier;
        auto lancer = [&](const QStringList& arguments, QString* erreurs = nullptr) {
            QProcess p;
            p.start(qEnvironmentVariable("KESTRAVEL_DB_BIN"), arguments);
            p.waitForFinished(60000);
            if (erreurs)
                *erreurs = QString::fromLocal8Bit(p.readAllStandardError());
            return p.exitCode();
        };
        QCOMPARE(lancer({"export", c.Chemin(), dossier.path(), "ProduitType", "Transaction"}), 0);
        QStringList fichiers = QDir(dossier.path()).entryList(QDir::Files);
        QCOMPARE(fichiers.size(), 2);
        for (const QString& f : fichiers)
            QDir(dossier.path()).rename(f, QString(f).replace(QRegularExpression("^\\d+_\\d+_export_"), "import_"));
        QString erreurs;
        QCOMPARE(lancer({"import", c.Chemin(), dossier.path(), "ProduitType"}, &erreurs), 0);
        QVERIFY2(erreurs.contains(QString::fromUtf8("ProduitType : Nombre de lignes supprimées = 1")),
                 qPrintable(erreurs));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 1);
        c.FermerDm();
        // Every table by default: the first missing file stops the run.
        QCOMPARE(lancer({"import", c.Chemin(), dossier.path()}, &erreurs), 1);
        QVERIFY2(erreurs.contains("Importation - Le fichier d'importation n'existe pas : "), qPrintable(erreurs));
        QVERIFY(lancer({"import", c.Chemin(), dossier.path(), "Produits"}) != 0);
    }
};

QTEST_MAIN(TestCsv)
#include "test_csv.moc"
