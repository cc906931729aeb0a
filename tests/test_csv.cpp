// CSV files of the catalogue tables: the writer, the parser, export then
// import of every table on awkward content, the all-or-nothing import and its
// messages, and the kestravel-db export/import commands.

#include "core/interchange/apercu.h"
#include "core/interchange/formatcsv.h"
#include "core/interchange/interchange.h"
#include "core/store/basesql.h"
#include "core/store/codepage.h"
#include "core/store/dates.h"
#include "core/store/dmkestravel.h"
#include "core/store/format.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Every row of a table in key order, one text per row (the table's own
// columns: a server's hidden row id left out).
QStringList Lignes(TCatalogueTest& c, const QString& table, const QString& ordre)
{
    QStringList colonnes;
    for (const TBaseSql::TColonne& col : c.Dm().Connexion().Colonnes(table))
        colonnes << col.nom;
    TInstructionSql q(c.Dm().Connexion(),
                      QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY %3").arg(colonnes.join(", "), table, ordre));
    QStringList r;
    while (q.Etape()) {
        QStringList champs;
        for (int i = 0; i < q.NombreColonnes(); ++i)
            champs << (q.EstNul(i) ? QStringLiteral("<nul>") : q.Valeur(i).toString());
        r << champs.join(QLatin1Char('|'));
    }
    return r;
}

// Export, then give every file its import name.
void ExporterPourImport(TdmKestravel& dm, TTableCsv t, const QString& dossier)
{
    const QString chemin = ExporterTable(dm, t, dossier).chemin;
    QFile::remove(CheminImport(t, dossier));
    QVERIFY(QFile::rename(chemin, CheminImport(t, dossier)));
}

// Decoded records of a parse, checked to be the same whatever the pieces the
// input comes in (as across the reads of a large file).
TLectureCsv LireEnMorceaux(const QByteArray& octets, int colonnes)
{
    const TLectureCsv entier = LireCsv(octets, colonnes);
    for (qsizetype morceau : {1, 2, 3, 7})
        if (LireCsv(octets, colonnes, morceau) != entier)
            qFatal("lecture par morceaux de %d octets différente", int(morceau));
    return entier;
}

QList<QStringList> Textes(const TLectureCsv& l)
{
    TCodePage cp;
    cp.SetUtf8(l.utf8);
    QList<QStringList> r;
    for (const QByteArrayList& champs : l.lignes) {
        QStringList textes;
        for (const QByteArray& c : champs)
            textes << cp.Decoder(c);
        r << textes;
    }
    return r;
}

const QByteArray EnteteProduit =
    "\"Externe\";\"IdProduit\";\"IdProduitType\";\"Description\";\"CodeExport\";"
    "\"PrixAchatHT\";\"PrixTarifHT\";\"PrixVenteHT\";\"Libelle\";\"DateCreation\";"
    "\"Reference\";\"Lien\";\"Stock\";\"StockMini\";";

// The first column of every row, separated by spaces.
QString Texte(TCatalogueTest& c, const QString& sql)
{
    TInstructionSql q(c.Dm().Connexion(), sql);
    QStringList r;
    while (q.Etape())
        r << q.Texte(0);
    return r.join(' ');
}

QByteArray Octets(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString MessageImport(TdmKestravel& dm, TTableCsv t, const QString& dossier, const TApercuImport* apercu = nullptr)
{
    try {
        ImporterTable(dm, t, dossier, {}, apercu);
    } catch (const EKestravel& e) {
        return e.Message();
    }
    return {};
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
        QCOMPARE(cp.Remplacements(), qint64(0));
        // One "?" per character the code page lacks, a surrogate pair and a
        // zero-width space included; each one counted.
        QCOMPARE(cp.Encoder(QString::fromUtf8("a中😀b")), QByteArray("a??b"));
        QCOMPARE(cp.Encoder(QString::fromUtf8("\x1a中")), QByteArray("\x1a?"));
        QCOMPARE(cp.Encoder(QString::fromUtf8("x\u200by")), QByteArray("x?y"));
        QCOMPARE(cp.Remplacements(), qint64(4));
        QCOMPARE(cp.Decoder("\xe9\x80\x9c"), QString::fromUtf8("é€œ"));

        QCOMPARE(NettoyerTexteProduit("Vis; acier"), QString("Vis acier"));
        // Every line end, whatever its form, is written "\r\n": one product, one line.
        QCOMPARE(NettoyerTexteProduit("a\r\nb;\nc\rd\n\re"), QString("a\\r\\nb\\r\\nc\\r\\nd\\r\\n\\r\\ne"));
        QCOMPARE(RestaurerTexteProduit("a\\r\\nb"), QString("a\r\nb"));
    }

    // The table of what the code page holds agrees with the converter on
    // every character: held ones make one byte that reads back the same,
    // the others a counted "?".
    void pageDeCode()
    {
        TCodePage cp;
        qint64 absents = 0;
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (c >= 0xD800 && c < 0xE000)
                continue;
            const QString s{QChar(char16_t(c))};
            const QByteArray o = cp.Encoder(s);
            if (DansWindows1252(c)) {
                QVERIFY2(o.size() == 1 && cp.Decoder(o) == s, qPrintable(QString::number(uint(c), 16)));
            } else {
                QVERIFY2(o == "?", qPrintable(QString::number(uint(c), 16)));
                ++absents;
            }
        }
        QCOMPARE(cp.Remplacements(), absents);
        QCOMPARE(CaracteresHorsWindows1252(QString::fromUtf8("Łódź Ł 😀 œ€")),
                 QStringList({QString::fromUtf8("Ł"), QString::fromUtf8("ź"), QString::fromUtf8("😀")}));
        QVERIFY(AvertissementHorsWindows1252(QString::fromUtf8("Clé à molette — 12 € œ")).isEmpty());
        QVERIFY(AvertissementHorsWindows1252(QString::fromUtf8("Łódź")).contains(QString::fromUtf8("« Ł », « ź »")));
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
        QTest::newRow("guillemet au milieu d'un champ nu")
            << QByteArray("1;po\"uce\n") << QList<QStringList>{{"1", "po\"uce"}};
        QTest::newRow("champs manquants ou en trop, lignes vides")
            << QByteArray("\r\n1\r\n\n1;2;3;4\n") << QList<QStringList>{{"1", ""}, {"1", "2"}};
        QTest::newRow("vide") << QByteArray() << QList<QStringList>{};
        QTest::newRow("Windows-1252") << QByteArray("\"\x80\";\"\xe9t\xe9\";\r\n")
                                      << QList<QStringList>{{QString::fromUtf8("€"), QString::fromUtf8("été")}};
        QTest::newRow("UTF-8 avec sa marque") << QByteArray("\xef\xbb\xbf\"\xe2\x82\xac\";\"\xc3\xa9t\xc3\xa9\";\r\n")
                                              << QList<QStringList>{{QString::fromUtf8("€"), QString::fromUtf8("été")}};
        QTest::newRow("début de marque seulement")
            << QByteArray("\xef\xbb;x") << QList<QStringList>{{QString::fromUtf8("ï»"), "x"}};
        QTest::newRow("fins de ligne CR seul")
            << QByteArray("\"1\";\"a\";\r\"2\";\"b\";\r") << QList<QStringList>{{"1", "a"}, {"2", "b"}};
        QTest::newRow("fins de ligne mêlées")
            << QByteArray("1;a\r\n2;b\r3;c\n\r\r\n4;\"d\"\r5")
            << QList<QStringList>{{"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "d"}, {"5", ""}};
        QTest::newRow("CR seul entre guillemets")
            << QByteArray("\"1\";\"a\rb\";\r") << QList<QStringList>{{"1", "a\rb"}};
        QTest::newRow("blancs après un guillemet fermant")
            << QByteArray("\"1\" ;\"a\"\t\r\n") << QList<QStringList>{{"1", "a"}};
    }

    void lecture()
    {
        QFETCH(QByteArray, octets);
        QFETCH(QList<QStringList>, attendu);
        const TLectureCsv l = LireEnMorceaux(octets, 2);
        QCOMPARE(l.erreur, TErreurCsv::Aucune);
        QCOMPARE(Textes(l), attendu);
    }

    void lectureNumerosEtGuillemetOuvert()
    {
        QCOMPARE(LireEnMorceaux("\"a\";\"x\r\ny\";\r\n\"b\";\r\n\r\n\"c\"\r\n", 2).numeros, (QList<qint64>{1, 3, 5}));
        QCOMPARE(LireEnMorceaux("\"a\";\"x\ry\";\r\"b\";\r\r\"c\"\n\"d\"", 2).numeros, (QList<qint64>{1, 3, 5, 6}));

        // Still open at the end: reported on the line where the field started,
        // the record not delivered.
        TLectureCsv l = LireEnMorceaux("\"a\";\r\n\"b\";\"jamais fermé\r\nc;\r\n", 2);
        QCOMPARE(l.lignes.size(), 1);
        QCOMPARE(l.erreur, TErreurCsv::GuillemetNonFerme);
        QCOMPARE(l.ligneErreur, qint64(2));
        QCOMPARE(l.champErreur, 1);

        // A quote missing in the middle of a line: the next field's opening
        // quote closes it, and text follows. Reported as such, not as a
        // shifted field; nothing after it is read.
        l = LireEnMorceaux("\"0\";\"1\";\r\n\"0\";\"desc;\"12,50\";\r\n\"2\";\"b\";\r\n", 3);
        QCOMPARE(l.lignes, (QList<QByteArrayList>{{"0", "1", ""}}));
        QCOMPARE(l.erreur, TErreurCsv::GuillemetNonFerme);
        QCOMPARE(l.ligneErreur, qint64(2));
        QCOMPARE(l.champErreur, 1);
    }

    void dates()
    {
        QCOMPARE(NormaliserDateHeureBase("2024-04-02"), QString("2024-04-02 00:00:00.000"));
        QCOMPARE(NormaliserDateHeureBase("2024-04-02 10:15:30"), QString("2024-04-02 10:15:30.000"));
        QCOMPARE(NormaliserDateHeureBase("2024-04-02T10:15:30.250"), QString("2024-04-02 10:15:30.250"));
        for (const char* faux :
             {"2024-02-30", "2024-04-02 24:00:00", "2024-4-2", "02/04/2024", "2024-04-02 10:15", "aaaa-bb-cc"})
            QVERIFY2(NormaliserDateHeureBase(faux).isEmpty(), faux);
    }

    // Every table through the export and back through the import gives the
    // same rows, but for the product file's text cleaning and the two
    // decimals of prices.
    void allerRetour()
    {
        TCatalogueTest c;
        const QString texte = QString::fromUtf8("« Clé » \"5;6\" €\r\nligne 2\nfin");
        c.Sql(
            "INSERT INTO Produit VALUES (0, 1, 2, ?, ?, 12.5, 0, -3.456, ?, '2024-04-02 10:15:30.250', ?, ?, "
            "-7, 9000000000)",
            {texte, "CODE;\"1\"", "Vis; acier", "R;1", "1.jpg"});
        c.Sql(
            "INSERT INTO Produit VALUES (2, 99999999, 1, ?, '', 1234567.891, 0.001, 0, '', "
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

        // A lone LF comes back as the host's CR LF.
        const QString cleaned = QString::fromUtf8("« Clé » \"56\" €\r\nligne 2\r\nfin");
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
        c.Sql(
            "INSERT INTO Produit (Externe, IdProduit, IdProduitType, PrixAchatHT, PrixTarifHT, PrixVenteHT, Libelle,"
            " DateCreation, Description) VALUES (0, 3, 1, 12.5, 0, NULL, 'Vis; acier', '2024-04-02', ?)",
            {"a\nb\rc"});
        c.Sql("INSERT INTO ProduitCarac VALUES (0, 3, 1, '5;\"6\"')");
        QTemporaryDir dossier;
        const QDateTime avant = QDateTime::currentDateTime();
        const QString chemin = ExporterTable(c.Dm(), TTableCsv::Produit, dossier.path()).chemin;
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
                            "\"0\";\"3\";\"1\";\"a\\r\\nb\\r\\nc\";\"\";\"12,50\";\"0,00\";\"0,00\";\"Vis acier\";"
                            "\"2024-04-02 00:00:00.000\";\"\";\"\";\"\";\"\";\r\n"));

        QFile v(ExporterTable(c.Dm(), TTableCsv::ProduitCarac, dossier.path()).chemin);
        QVERIFY(v.open(QIODevice::ReadOnly));
        QVERIFY(v.readAll().endsWith("\"0\";\"3\";\"1\";\"5;\"\"6\"\"\";\r\n"));

        // An empty table: the header alone.
        QFile t(ExporterTable(c.Dm(), TTableCsv::ProduitTypeCarac, dossier.path()).chemin);
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
        const QByteArray entete =
            "Externe;IdProduit;IdProduitType;Description;CodeExport;PrixAchatHT;PrixTarifHT;"
            "PrixVenteHT;Libelle;DateCreation;Reference;Lien;Stock;StockMini\r\n";
        EcrireFichier(CheminImport(TTableCsv::Produit, dossier.path()),
                      entete + "0;1;1;;;12,50;3.25;7;;2024-04-02;;;1;1\r\n");
        ImporterTable(c.Dm(), TTableCsv::Produit, dossier.path());
        QCOMPARE(Lignes(c, "Produit", "IdProduit").value(0).section('|', 5, 7), QString("12.5|3.25|7"));

        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QString chemin = ExporterTable(c.Dm(), TTableCsv::Produit, dossier.path()).chemin;
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
        for (const QLocale::Language langue :
             {QLocale::French, QLocale::English, QLocale::German, QLocale::Swedish, QLocale::Arabic}) {
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
        // The next movement follows the imported ones.
        c.Sql(
            "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew, Libelle,"
            " DateMaj) VALUES (0, 1, 1, 4, 3, 'Vente', '2024-04-03 00:00:00.000')");
        QCOMPARE(c.Entier("SELECT MAX(IdTransaction) FROM \"Transaction\""), 43);

        // Empty fields, quoted, bare or missing at the end of a line, are
        // empty texts, not nulls.
        EcrireFichier(CheminImport(TTableCsv::ProduitTypeCarac, dossier.path()),
                      "\"0\";\"1\";\"\";\"\";\r\n0;2;;\r\n0;3;Poids\r\n");
        ImporterTable(c.Dm(), TTableCsv::ProduitTypeCarac, dossier.path());
        QCOMPARE(Lignes(c, "ProduitTypeCarac", "IdProduitCarac"), (QStringList{"0|1||", "0|2||", "0|3|Poids|"}));
    }

    // A refused row far into a large file, in the third batch a server checks
    // at once: the message names its CSV line, on both engines, and nothing
    // of the rows before it stays.
    void importRefusDansUnLot()
    {
        TCatalogueTest c;
        QTemporaryDir dossier;
        c.Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle) VALUES (0, 1, 1, 'Ancien')");
        const QByteArray description(600, 'x');
        const int lignes = 6000, doublon = 4000;
        // Product i on line i + 1; the one at `doublon` takes product 17's key.
        auto fichier = [&](int cle) {
            QByteArray octets = EnteteProduit + "\r\n";
            for (int i = 1; i <= lignes; ++i)
                octets += "0;" + QByteArray::number(i == doublon ? cle : i) + ";1;" + description
                    + QByteArray(";;1,00;0;2,50;Cl\xe9 ") + QByteArray::number(i) + ";;;;1;0\r\n";
            return octets;
        };
        // The header is line 1.
        EcrireFichier(CheminImport(TTableCsv::Produit, dossier.path()), fichier(17));
        const QString m = MessageImport(c.Dm(), TTableCsv::Produit, dossier.path());
        QVERIFY2(
            m.startsWith(QStringLiteral("Importation - Ligne %1 du fichier import_produit.csv : ").arg(doublon + 1)),
            qPrintable(m.left(300)));
        QVERIFY2(m.contains(QString::fromUtf8("Le catalogue contient déjà un enregistrement avec la même clé"))
                     && !m.contains("COPY"),
                 qPrintable(m.left(600)));
        QCOMPARE(Lignes(c, "Produit", "IdProduit"),
                 QStringList{"0|1|1|<nul>|<nul>|<nul>|<nul>|<nul>|Ancien|<nul>|<nul>|<nul>|<nul>|<nul>"});

        // Without the double the whole file goes in, accents included.
        EcrireFichier(CheminImport(TTableCsv::Produit, dossier.path()), fichier(doublon));
        QCOMPARE(ImporterTable(c.Dm(), TTableCsv::Produit, dossier.path()).inserees, qint64(lignes));
        QCOMPARE(Texte(c, "SELECT Libelle FROM Produit WHERE IdProduit = 4000"), QString::fromUtf8("Clé 4000"));
    }

    // A failing line leaves the former rows; the message names the line.
    void importToutOuRien_data()
    {
        QTest::addColumn<QByteArray>("ligne3");
        QTest::addColumn<QString>("raison");
        QTest::addColumn<QString>("raisonApercu");
        // Told the same on both engines, each one's own reason as detail;
        // the preview refuses the same lines.
        const QString doublon = QString::fromUtf8("Le catalogue contient déjà un enregistrement avec la même clé");
        QTest::newRow("clé en double") << QByteArray("\"0\";\"1\";\"0\";\"Autre\";") << doublon
                                       << QString::fromUtf8("même clé (Externe 0, IdProduitType 1) que la ligne 2");
        const QString entier = QString::fromUtf8("« 2x » n'est pas un nombre entier (colonne IdProduitType)");
        QTest::newRow("entier") << QByteArray("\"0\";\"2x\";\"0\";\"Autre\";") << entier << entier;
        QTest::newRow("guillemet non fermé")
            << QByteArray("\"0\";\"2\";\"0\";\"Autre;") << "guillemet non fermé (colonne Libelle)"
            << "guillemet non fermé (colonne Libelle)";
        QTest::newRow("guillemet manquant en milieu de ligne")
            << QByteArray("\"0\";\"2;\"0\";\"Autre\";") << "guillemet non fermé (colonne IdProduitType)"
            << "guillemet non fermé (colonne IdProduitType)";
    }

    void importToutOuRien()
    {
        QFETCH(QByteArray, ligne3);
        QFETCH(QString, raison);
        QFETCH(QString, raisonApercu);
        TCatalogueTest c;
        QTemporaryDir dossier;
        c.Sql("INSERT INTO ProduitType VALUES (0, 7, 0, 'Ancienne')");
        EcrireFichier(CheminImport(TTableCsv::ProduitType, dossier.path()),
                      "\"Externe\";\"IdProduitType\";\"IdParent\";\"Libelle\";\r\n"
                      "\"0\";\"1\";\"0\";\"Outils\";\r\n"
                          + ligne3 + "\r\n0;3;0;Fin\r\n");
        for (const bool apercu : {true, false}) {
            try {
                if (apercu)
                    ApercuImport(c.Dm(), TTableCsv::ProduitType, dossier.path());
                else
                    ImporterTable(c.Dm(), TTableCsv::ProduitType, dossier.path());
                QFAIL("pas d'erreur");
            } catch (const EInterchange&) {
                QFAIL("message simple au lieu de l'erreur");
            } catch (const EKestravel& e) {
                QVERIFY2(e.Message().startsWith("Importation - Ligne 3 du fichier import_produit_type.csv : "),
                         qPrintable(e.Message()));
                QVERIFY2(e.Message().contains(apercu ? raisonApercu : raison), qPrintable(e.Message()));
                QVERIFY(e.Message().contains(QString::fromUtf8("La table ProduitType n'a pas été modifiée.")));
            }
        }
        QCOMPARE(Lignes(c, "ProduitType", "IdProduitType"), QStringList{"0|7|0|Ancienne"});
    }

    // What an import would change, counted and listed before anything is
    // written; the import then does exactly that, or nothing when the file
    // or the table changed since.
    void apercu_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QStringList>("avant");
        QTest::addColumn<QByteArray>("fichier");
        QTest::addColumn<QList<qint64>>("comptes");  // added, changed, removed, unchanged
        QTest::addColumn<QStringList>("differences");
        const QStringList categories = {"INSERT INTO ProduitType VALUES (0, 1, 0, 'Outils')",
                                        "INSERT INTO ProduitType VALUES (0, 2, 0, 'Jardin')",
                                        "INSERT INTO ProduitType VALUES (0, 3, 1, 'Vis')"};
        const QStringList differencesCategories = {
            QString::fromUtf8("Externe 0, IdProduitType 2 : Libelle : « Jardin » → « Jardinage »"),
            QString::fromUtf8("Externe 0, IdProduitType 3 : Ligne supprimée : « 1 ; Vis »"),
            QString::fromUtf8("Externe 0, IdProduitType 4 : Ligne ajoutée : « 0 ; Peinture »")};
        QTest::newRow("catégories") << int(TTableCsv::ProduitType) << categories
                                    << QByteArray("0;1;0;Outils\r\n0;2;0;Jardinage\r\n0;4;0;Peinture\r\n")
                                    << QList<qint64>{1, 1, 1, 1} << differencesCategories;
        // Not in key order: the same answer.
        QTest::newRow("désordre") << int(TTableCsv::ProduitType) << categories
                                  << QByteArray("0;4;0;Peinture\r\n0;2;0;Jardinage\r\n0;1;0;Outils\r\n")
                                  << QList<qint64>{1, 1, 1, 1} << differencesCategories;
        // Each column type through the import's conversions (Windows-1252,
        // decimal comma, a date alone); a null text is the empty one.
        QTest::newRow("produits")
            << int(TTableCsv::Produit)
            << QStringList{"INSERT INTO Produit VALUES (0, 1, 2, 'Desc', 'C1', 1.5, 2, 3, 'Vis', "
                           "'2024-04-02 10:15:30.250', 'R1', NULL, 5, 0)",
                           "INSERT INTO Produit VALUES (0, 2, 2, 'Desc', 'C2', 1.5, 2, 3, 'Clou', "
                           "'2024-04-02 10:15:30.250', 'R2', NULL, 5, 0)"}
            << QByteArray("0;1;2;Desc;C1;1,5;2;3,10;Vis \xe9;2024-04-02;R1;;5;0\r\n"
                          "0;2;2;Desc;C2;1,50;2;3;Clou;2024-04-02 10:15:30.250;R2;;5;0\r\n")
            << QList<qint64>{0, 1, 0, 1}
            << QStringList{QString::fromUtf8("Externe 0, IdProduit 1, IdProduitType 2 : PrixVenteHT : « 3,00 » → "
                                             "« 3,10 »"),
                           QString::fromUtf8("Externe 0, IdProduit 1, IdProduitType 2 : Libelle : « Vis » → « Vis é »"),
                           QString::fromUtf8("Externe 0, IdProduit 1, IdProduitType 2 : DateCreation : « 2024-04-02 "
                                             "10:15:30.250 » → « 2024-04-02 00:00:00.000 »")};
        // A price stored with a difference below the cent shows it.
        QTest::newRow("sous le centime")
            << int(TTableCsv::Produit)
            << QStringList{"INSERT INTO Produit VALUES (0, 1, 2, 'Desc', 'C1', 1.5, 2, 4.800000000000001, 'Vis', "
                           "'2024-04-02 10:15:30.250', 'R1', NULL, 5, 0)"}
            << QByteArray("0;1;2;Desc;C1;1,5;2;4,8;Vis;2024-04-02 10:15:30.250;R1;;5;0\r\n")
            << QList<qint64>{0, 1, 0, 0}
            << QStringList{QString::fromUtf8("Externe 0, IdProduit 1, IdProduitType 2 : PrixVenteHT : "
                                             "« 4,800000000000001 » → « 4,8 »")};
        // A movement without a number is a new one.
        QTest::newRow("mouvements")
            << int(TTableCsv::Transaction)
            << QStringList{"INSERT INTO \"Transaction\" VALUES (7, 0, 1, 2, 5, 3, 'Vente', '2024-04-02 10:15:30.250')"}
            << QByteArray(";0;1;2;3;4;Ajout;2024-04-03 08:00:00.000\r\n7;0;1;2;5;3;Vente;2024-04-02 10:15:30.250\r\n")
            << QList<qint64>{1, 0, 0, 1}
            << QStringList{
                   QString::fromUtf8("IdTransaction (nouveau, ligne 1 du fichier) : Ligne ajoutée : « 0 ; 1 ; 2 ; "
                                     "3 ; 4 ; Ajout ; 2024-04-03 08:00:00.000 »")};
    }

    void apercu()
    {
        QFETCH(int, table);
        QFETCH(QStringList, avant);
        QFETCH(QByteArray, fichier);
        QFETCH(QList<qint64>, comptes);
        QFETCH(QStringList, differences);
        const TTableCsv t = TTableCsv(table);
        const TDescriptionTable& d = DescriptionTable(t);
        TCatalogueTest c;
        for (const QString& sql : avant)
            c.Sql(sql);
        QTemporaryDir dossier;
        const QString chemin = CheminImport(t, dossier.path());
        EcrireFichier(chemin, fichier);
        const QStringList lignesAvant = Lignes(c, d.nom, "1, 2, 3");
        const TApercuImport a = ApercuImport(c.Dm(), t, dossier.path());
        QCOMPARE((QList<qint64>{a.ajoutees, a.modifiees, a.supprimees, a.inchangees}), comptes);
        QStringList textes;
        for (const TDifferenceImport& e : a.differences)
            textes << TexteDifference(e);
        QCOMPARE(textes, differences);
        QCOMPARE(Lignes(c, d.nom, "1, 2, 3"), lignesAvant);

        // The file changed since: nothing imported.
        EcrireFichier(chemin, fichier + "0;9;0;0;0\r\n");
        QVERIFY2(MessageImport(c.Dm(), t, dossier.path(), &a).contains(QString::fromUtf8("a changé depuis l'aperçu")),
                 qPrintable(MessageImport(c.Dm(), t, dossier.path(), &a)));
        QCOMPARE(Lignes(c, d.nom, "1, 2, 3"), lignesAvant);
        // So did the table.
        EcrireFichier(chemin, fichier);
        c.Sql(avant.first().replace(QRegularExpression("VALUES \\(\\d+"), "VALUES (99"));
        QVERIFY(MessageImport(c.Dm(), t, dossier.path(), &a).contains(QString::fromUtf8("a changé depuis l'aperçu")));
        c.Sql(QStringLiteral("DELETE FROM \"%1\" WHERE %2 = 99").arg(d.nom, d.colonnes.first().nom));

        const TResultatImport r = ImporterTable(c.Dm(), t, dossier.path(), {}, &a);
        QCOMPARE(r.supprimees, a.lignesTable);
        QCOMPARE(r.inserees, a.ajoutees + a.modifiees + a.inchangees);
    }

    // Files as spreadsheets and old programs save them: CR-only line ends,
    // UTF-8 with its byte-order mark.
    void importFichiersDeTableurs()
    {
        TCatalogueTest c;
        QTemporaryDir dossier;
        const QString chemin = CheminImport(TTableCsv::Produit, dossier.path());
        EcrireFichier(chemin, EnteteProduit + "\r\"0\";\"1\";\"1\";\"\";\"\";\"1,00\";\"0\";\"2,50\";\"Vis\";\"\";\"\";"
                                              "\"\";\"4\";\"0\";\r0;2;1;;;0;0;3,5;Clou;;;;1;0\r");
        TResultatImport r = ImporterTable(c.Dm(), TTableCsv::Produit, dossier.path());
        QCOMPARE(r.inserees, qint64(2));
        QCOMPARE(Texte(c, "SELECT Libelle || '=' || PrixVenteHT FROM Produit ORDER BY IdProduit"),
                 QString("Vis=2.5 Clou=3.5"));

        // The mark is not part of the header; texts are read as UTF-8.
        EcrireFichier(chemin, "\xef\xbb\xbf" + EnteteProduit +
                                  "\r\n\"0\";\"3\";\"1\";\"Ligne 1\\r\\nŁódź\";\"\";\"0\";\"0\";\"12,50\";"
                                  "\"Clé € œ\";\"\";\"\";\"\";\"1\";\"0\";\r\n");
        r = ImporterTable(c.Dm(), TTableCsv::Produit, dossier.path());
        QCOMPARE(r.supprimees, qint64(2));
        QCOMPARE(r.inserees, qint64(1));
        QCOMPARE(Texte(c, "SELECT Libelle FROM Produit"), QString::fromUtf8("Clé € œ"));
        QCOMPARE(Texte(c, "SELECT Description FROM Produit"), QString::fromUtf8("Ligne 1\r\nŁódź"));

        // Without the mark the same bytes are Windows-1252.
        EcrireFichier(CheminImport(TTableCsv::ProduitType, dossier.path()), "\"0\";\"1\";\"0\";\"Cl\xc3\xa9\";\r\n");
        ImporterTable(c.Dm(), TTableCsv::ProduitType, dossier.path());
        QCOMPARE(Texte(c, "SELECT Libelle FROM ProduitType"), QString::fromUtf8("ClÃ©"));

        // Bytes that are not UTF-8 behind the mark are refused.
        EcrireFichier(chemin,
                      "\xef\xbb\xbf"
                      "0;4;1;;;0;0;0;Cl\xe9"
                      ";;;;1;0\r\n");
        const QString m = MessageImport(c.Dm(), TTableCsv::Produit, dossier.path());
        QVERIFY2(m.startsWith("Importation - Ligne 1 du fichier import_produit.csv : ") && m.contains("Libelle")
                     && m.contains("UTF-8"),
                 qPrintable(m));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM Produit"), 1);
    }

    // Content after the header that yields no row is refused: emptying the
    // table then would lose it for nothing.
    void importSansLigneLisible_data()
    {
        QTest::addColumn<QByteArray>("octets");
        QTest::newRow("lignes collées à l'en-tête")
            << QByteArray("\"Externe\";\"IdProduitType\";\"IdParent\";\"Libelle\";\"0\";\"1\";\"0\";\"Outils\";");
        QTest::newRow("en-têtes seulement")
            << QByteArray("Externe;IdProduitType;IdParent;Libelle\r\nExterne;IdProduitType;IdParent;Libelle\r\n");
    }

    void importSansLigneLisible()
    {
        QFETCH(QByteArray, octets);
        TCatalogueTest c;
        QTemporaryDir dossier;
        c.Sql("INSERT INTO ProduitType VALUES (0, 7, 0, 'Ancienne')");
        EcrireFichier(CheminImport(TTableCsv::ProduitType, dossier.path()), octets);
        try {
            ImporterTable(c.Dm(), TTableCsv::ProduitType, dossier.path());
            QFAIL("pas d'erreur");
        } catch (const EInterchange& e) {
            QVERIFY2(e.Message().startsWith("Importation - Le fichier ")
                         && e.Message().contains(QString::fromUtf8("aucune ligne lisible après son en-tête"))
                         && e.Message().endsWith(QString::fromUtf8("La table ProduitType n'a pas été modifiée.")),
                     qPrintable(e.Message()));
        }
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 1);
    }

    // Characters the code page lacks are counted, with the first file line
    // that holds one.
    void exportCaracteresAbsents()
    {
        TCatalogueTest c;
        QTemporaryDir dossier;
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, 'Outils'), (0, 2, 0, ?), (0, 3, 0, ?)",
              {QString::fromUtf8("Łódź"), QString::fromUtf8("Ł")});
        TResultatExport r = ExporterTable(c.Dm(), TTableCsv::ProduitType, dossier.path());
        QCOMPARE(r.remplacements, qint64(3));
        QCOMPARE(r.premiereLigneRemplacee, qint64(3));
        QVERIFY(
            Octets(r.chemin).contains("\"0\";\"2\";\"0\";\"?\xf3"
                                      "d?\";\r\n"));
        QCOMPARE(MessageRemplacements(TTableCsv::ProduitType, r),
                 QString::fromUtf8("Exportation de la table ProduitType : 3 caractères que le fichier CSV "
                                   "(Windows-1252) ne peut pas contenir ont été remplacés par « ? ». Première ligne "
                                   "concernée : ligne 3 du fichier ")
                     + QDir::toNativeSeparators(r.chemin) + ".");

        r = ExporterTable(c.Dm(), TTableCsv::Produit, dossier.path());
        QCOMPARE(r.remplacements, qint64(0));
        QVERIFY(MessageRemplacements(TTableCsv::Produit, r).isEmpty());
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
        if (g_serveur)
            QSKIP("verrou du fichier");
        TCatalogueTest c;
        QTemporaryDir dossier;
        EcrireFichier(CheminImport(TTableCsv::ProduitType, dossier.path()), "");
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, 'Outils')");
        {
            const TBaseSql autre(c.Chemin(), TBaseSql::Acces::Ecriture, QString());
            autre.Executer("BEGIN IMMEDIATE");
            c.Dm().Connexion().SetAttente(0);
            try {
                ImporterTable(c.Dm(), TTableCsv::ProduitType, dossier.path());
                QFAIL("pas d'erreur");
            } catch (const EInterchange& e) {
                QCOMPARE(e.Message(),
                         QString("Importation - Une erreur est survenue pendant le vidage de la table ProduitType."));
            }
        }
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 1);
    }

    void outil()
    {
        TCatalogueTest c;
        c.Sql("INSERT INTO ProduitType VALUES (0, 1, 0, 'Outils')");
        c.FermerDm();
        QTemporaryDir dossier;
        // The catalogue: a file's path, or the server's.
        const QStringList base = g_serveur ? QStringList{"--server", c.Serveur()} : QStringList{c.Chemin()};
        auto lancer = [&](const QStringList& arguments, QString* erreurs = nullptr, QString* sortie = nullptr) {
            QProcess p;
            p.start(qEnvironmentVariable("KESTRAVEL_DB_BIN"), arguments);
            p.waitForFinished(60000);
            if (erreurs)
                *erreurs = QString::fromLocal8Bit(p.readAllStandardError());
            if (sortie)
                *sortie = QString::fromLocal8Bit(p.readAllStandardOutput());
            return p.exitCode();
        };
        QCOMPARE(lancer(QStringList{"export"} + base + QStringList{dossier.path(), "ProduitType", "Transaction"}), 0);
        QStringList fichiers = QDir(dossier.path()).entryList(QDir::Files);
        QCOMPARE(fichiers.size(), 2);
        for (const QString& f : fichiers)
            QDir(dossier.path()).rename(f, QString(f).replace(QRegularExpression("^\\d+_\\d+_export_"), "import_"));
        QString erreurs, sortie;
        // --dry-run: what would change, and nothing changed.
        c.Sql("UPDATE ProduitType SET Libelle = 'Outillage'");
        c.FermerDm();
        QCOMPARE(lancer(QStringList{"import", "--dry-run"} + base + QStringList{dossier.path(), "ProduitType"},
                        &erreurs, &sortie),
                 0);
        QCOMPARE(sortie,
                 QString::fromUtf8("ProduitType : 0 ligne ajoutée, 1 modifiée, 0 supprimée, 0 inchangée.\n"
                                   "  Externe 0, IdProduitType 1 : Libelle : « Outillage » → « Outils »\n"));
        QCOMPARE(Texte(c, "SELECT Libelle FROM ProduitType"), QString("Outillage"));
        c.FermerDm();
        QCOMPARE(lancer(QStringList{"import"} + base + QStringList{dossier.path(), "ProduitType"}, &erreurs), 0);
        QVERIFY2(erreurs.contains(QString::fromUtf8("ProduitType : Nombre de lignes supprimées = 1")),
                 qPrintable(erreurs));
        QCOMPARE(c.Entier("SELECT COUNT(*) FROM ProduitType"), 1);
        c.FermerDm();
        // Every table by default: the first missing file stops the run.
        QCOMPARE(lancer(QStringList{"import"} + base + QStringList{dossier.path()}, &erreurs), 1);
        QVERIFY2(erreurs.contains("Importation - Le fichier d'importation n'existe pas : "), qPrintable(erreurs));
        QVERIFY(lancer(QStringList{"import"} + base + QStringList{dossier.path(), "Produits"}) != 0);
    }
};

// The CSV files on a catalogue file, then on the server.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return ExecuterSurLesDeuxMoteurs<TestCsv>(argc, argv);
}
#include "test_csv.moc"
