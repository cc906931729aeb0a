// The real binary in VOIR mode, from the command line to the exchange file:
// the windows run on the offscreen platform and are driven from inside the
// process by the automate module (tests/automate_voir.cpp).

#include "core/exchange/xmldoc.h"
#include "core/store/acces.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "tests/soutien.h"

#include <QDate>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

class TestViewerVoir : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void exportDepuisLeProgramme()
    {
        const QString automate = qEnvironmentVariable("KESTRAVEL_BUILD") + "/tests/kestravel-automate.so";
        QVERIFY2(QFileInfo::exists(automate), qPrintable(automate));

        TInstallation inst;
        {
            TdmKestravel dm(inst.Base());
            ExecuterInstruction(dm.Connexion(),
                                "INSERT INTO ProduitType VALUES (0, 1, 0, 'Outils'), (0, 2, 1, 'Marteaux'),"
                                " (1, 2, 0, 'Fournisseur')");
            ExecuterInstruction(
                dm.Connexion(),
                "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference,"
                " Description, PrixTarifHT, PrixVenteHT, Lien, Stock, StockMini)"
                " VALUES (0, 10, 2, 'Marteau', 'M10', 'Ac' || char(11) || 'ier', 0, 12.5, 'm.png', 4, 1),"
                " (1, 10, 2, 'Marteau externe', 'X10', '', 0, 1, '', 0, 0)");
        }
        const QString fichier = inst.Racine() + "echange.xml";

        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LANG", "fr_FR.UTF-8");
        env.insert("LC_ALL", "fr_FR.UTF-8");
        for (const auto& [nom, valeur] : VariablesPrechargement(automate))
            env.insert(nom, valeur);
        env.insert("KESTRAVEL_AUTOMATE_VOIR", "Marteaux;Marteau;7;Livrer lundi");
        p.setProcessEnvironment(env);
        p.start(inst.Module() + "kestravel", {"voir", inst.Ini(), fichier});
        const bool fini = p.waitForFinished(60000);
        if (!fini)
            p.kill();
        const QString erreurs = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(fini, qPrintable(erreurs));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == 0, qPrintable(erreurs));

        // The control character of the description is left out: the host's
        // parser accepts the file.
        QProcess xmllint;
        xmllint.start("xmllint", {"--noout", fichier});
        QVERIFY(xmllint.waitForFinished());
        QVERIFY2(xmllint.exitCode() == 0, xmllint.readAllStandardError().constData());
        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(fichier);
        TXmlNodeRefList lignes;
        doc.Root().ChildrenByName("Produit", lignes);
        QCOMPARE(lignes.Count(), 1);
        const TXmlNodeRef ligne = lignes.Get(0);
        QCOMPARE(ligne.ReadAttributeString("DateExport", ""), QDate::currentDate().toString("dd/MM/yyyy"));
        QCOMPARE(ligne.FindChild("Externe").Text(), QString("0"));
        QCOMPARE(ligne.FindChild("IdProduit").Text(), QString("10"));
        QCOMPARE(ligne.FindChild("Libelle").Text(), QString("Marteau"));
        QCOMPARE(ligne.FindChild("Quantite").Text(), QString("7"));
        QCOMPARE(ligne.FindChild("Description").Text(), QString("Acier[br]Livrer lundi[br]"));
        QCOMPARE(ligne.FindChild("PrixTarifHT").Text(), QString("12,50"));
        QCOMPARE(ligne.FindChild("PrixVentetHT").Text(), QString("12,50"));
        QCOMPARE(ligne.FindChild("Image").Text(), inst.Administration() + "Images/Interne/m.png");
    }
};

QTEST_MAIN(TestViewerVoir)
#include "test_viewer_voir.moc"
