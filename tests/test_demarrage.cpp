// Start-up through the real binary in a temporary installation, without a
// screen: messages arrive on standard error, the exit status tells failure.

#include "tests/soutien.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

namespace {
const QString ErreurParametres = QStringLiteral("Erreur : impossible d'éxécuter Kestravel.\nVérifier vos paramètres.");
const QString MiseAJour = QStringLiteral("Veuillez mettre à jour le module Kestravel.");
}  // namespace

class TestDemarrage : public QObject {
    Q_OBJECT

private slots:
    // kestravel-db: help asked for is an answer (standard output, status 0);
    // a command line not understood gets the usage on standard error and
    // status 2; a command that works prints no warning of the toolkit.
    void outilLigneDeCommande_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("sortie");
        QTest::addColumn<QString>("erreurs");
        QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage" << "";
        QTest::newRow("-h après la commande") << QStringList{"create", "-h"} << 0 << "Usage" << "";
        QTest::newRow("commande inconnue") << QStringList{"inventer", "x"} << 2 << "" << "Usage";
        QTest::newRow("rien") << QStringList{} << 2 << "" << "Usage";
        QTest::newRow("create, sans avertissement") << QStringList{"create", "@/neuf.abs"} << 0 << "" << "";
        QTest::newRow("demo, sans avertissement") << QStringList{"demo", "@/demo"} << 0 << "" << "";
    }
    void outilLigneDeCommande()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, sortie);
        QFETCH(QString, erreurs);
        QTemporaryDir dossier;
        arguments.replaceInStrings("@", dossier.path());
        QProcess outil;
        // As a user's session without a runtime folder.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("XDG_RUNTIME_DIR");
        env.remove("QT_QPA_PLATFORM");
        outil.setProcessEnvironment(env);
        outil.start(qEnvironmentVariable("KESTRAVEL_DB_BIN"), arguments);
        QVERIFY(outil.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(outil.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(outil.readAllStandardError());
        QCOMPARE(outil.exitCode(), code);
        QVERIFY2(sortie.isEmpty() ? out.isEmpty() : out.contains(sortie), qPrintable(out));
        QVERIFY2(erreurs.isEmpty() ? err.isEmpty() : err.contains(erreurs), qPrintable(err));
    }

    void parameterErrorOpensNothing()
    {
        // No catalogue at all: only the parameter error may appear.
        TInstallation inst(false);
        for (const QStringList& args : {QStringList{}, QStringList{"CONFIG"}}) {
            const auto r = inst.Lancer(args);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.erreurs.contains(ErreurParametres), qPrintable(r.erreurs));
            QVERIFY(!r.erreurs.contains("base de données"));
        }
        QVERIFY(!QFile::exists(inst.Base()));
    }

    void missingCatalogueIsReported()
    {
        TInstallation inst(false);
        const auto r = inst.Lancer({"CONTROLE", inst.Ini(), inst.Racine() + "x.xml"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("Kestravel.abs"), qPrintable(r.erreurs));
        QVERIFY(!QFile::exists(inst.Base()));
    }

    void argumentCountsAndModeWords()
    {
        TInstallation inst;
        const QString xml = inst.Racine() + "demande.xml";
        EcrireFichier(xml, "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Kestravel/>");
        struct Cas {
            QStringList args;
            int code;
        };
        const QList<Cas> cas = {
            {{"VOIR", inst.Ini()}, 1},           {{"voir", inst.Ini(), xml, "en trop"}, 1},
            {{"CONTROLE", inst.Ini()}, 1},       {{"Controle", inst.Ini(), xml, "en trop"}, 1},
            {{" CONTROLE", inst.Ini(), xml}, 1}, {{"INCONNU", inst.Ini(), xml}, 1},
            {{"controle", inst.Ini(), xml}, 0},
        };
        for (const Cas& c : cas) {
            const auto r = inst.Lancer(c.args);
            QVERIFY2(r.code == c.code, qPrintable(c.args.join(' ') + " → " + QString::number(r.code)));
            QCOMPARE(r.erreurs.contains(ErreurParametres), c.code != 0);
        }
        // The parameter error of VOIR comes after the settings file was read:
        // the image folders are there.
        QVERIFY(QDir(inst.Administration() + "Images/Interne").exists());
    }

    void versionMismatch()
    {
        TInstallation inst;
        const QString xml = inst.Racine() + "demande.xml";
        EcrireFichier(xml, "<Kestravel/>");
        const QStringList contenus = {
            "[General]\nVersion=2\n", "[General]\nVersion=1.0\n",         "[General]\nVersion=01\n",
            "[Autre]\nVersion=1\n",   "[General]\nAdministration=/tmp\n",
        };
        for (const QString& contenu : contenus) {
            inst.EcrireIni(contenu);
            const auto r = inst.Lancer({"CONTROLE", inst.Ini(), xml});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.erreurs.contains(MiseAJour), qPrintable(contenu + r.erreurs));
        }
        const auto r = inst.Lancer({"CONFIG", inst.Racine() + "absent.ini"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.erreurs.contains(MiseAJour));
        // An unknown mode word meets the version check first.
        QVERIFY(inst.Lancer({"INCONNU", inst.Racine() + "absent.ini"}).erreurs.contains(MiseAJour));
    }

    void administrationFolder()
    {
        TInstallation inst;
        const QString xml = inst.Racine() + "demande.xml";
        EcrireFichier(xml, "<Kestravel/>");
        for (const QString& admin : {inst.Racine() + "SansSep", inst.Racine() + "AvecSep/"}) {
            QDir().mkpath(admin);
            inst.EcrireIni(QStringLiteral("[General]\nVersion=1\nAdministration=%1\n").arg(admin));
            QCOMPARE(inst.Lancer({"CONTROLE", inst.Ini(), xml}).code, 0);
            for (const char* d : {"Images/Interne", "Images/Externe", "Images/Standard"})
                QVERIFY(QDir(QDir(admin).filePath(d)).exists());
        }
        // Folders that cannot be made are skipped silently.
        inst.EcrireIni(QStringLiteral("[General]\nVersion=1\nAdministration=%1absent/Admin\n").arg(inst.Racine()));
        const auto r = inst.Lancer({"CONTROLE", inst.Ini(), xml});
        QCOMPARE(r.code, 0);
        QVERIFY(!QDir(inst.Racine() + "absent").exists());
    }

    void synchroReadsNoSettings()
    {
        TInstallation source, cible;
        cible.EcrireIni("[General]\nVersion=7\n");
        const auto r = cible.Lancer({"synchro", source.Racine(), cible.Racine()});
        QVERIFY2(r.code == 0, qPrintable(r.erreurs));
        QVERIFY(!r.erreurs.contains(MiseAJour));
    }

    // A display that does not answer: the windowless modes never ask for
    // it, so the request is handled and the synchronisation runs.
    void modesSansFenetreSansEcran()
    {
        TInstallation inst, source;
        const QString xml = inst.Racine() + "demande.xml";
        EcrireFichier(xml, "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Kestravel><Produit/></Kestravel>");
        for (const QStringList& args :
             {QStringList{"CONTROLE", inst.Ini(), xml}, QStringList{"SYNCHRO", source.Racine(), inst.Racine()}}) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove("QT_QPA_PLATFORM");
            env.remove("WAYLAND_DISPLAY");
            env.insert("DISPLAY", ":99");
            p.setProcessEnvironment(env);
            p.start(inst.Module() + "kestravel", args);
            QVERIFY(p.waitForFinished(60000));
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        }
        QVERIFY(LireFichier(xml).contains("Etat=\"Supprimer\""));
    }

    void configOpensItsWindow()
    {
        // With a (virtual) screen the lower-case mode word opens the window
        // and the event loop runs until the window is closed.
        TInstallation inst;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(inst.Module() + "kestravel", {"config", inst.Ini(), "argument ignoré"});
        QVERIFY(p.waitForStarted());
        QVERIFY(!p.waitForFinished(1500));
        p.kill();
        p.waitForFinished();
        QVERIFY(!QString::fromLocal8Bit(p.readAllStandardError()).contains(ErreurParametres));
    }
};

QTEST_GUILESS_MAIN(TestDemarrage)
#include "test_demarrage.moc"
