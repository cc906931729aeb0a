// Failures of the engine and of the file system reach the user as French
// sentences followed by the technical detail, never as bare system text.

#include "core/base/prompts.h"
#include "core/exchange/xmldoc.h"
#include "core/store/acces.h"
#include "core/store/dmkestravel.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"
#include "gui/common/application.h"
#include "tests/soutien.h"

#include <sqlite3.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QtTest>
#include <cerrno>

namespace {
// A second process's connection to the same file.
class TAutreConnexion {
public:
    TAutreConnexion(const QString& chemin, int drapeaux)
    {
        sqlite3_open_v2(chemin.toUtf8().constData(), &m_base, drapeaux, nullptr);
    }
    ~TAutreConnexion() { sqlite3_close_v2(m_base); }
    int Executer(const char* sql) { return sqlite3_exec(m_base, sql, nullptr, nullptr, nullptr); }
    sqlite3* Base() const { return m_base; }

private:
    sqlite3* m_base = nullptr;
};

// The text of the error box for the exception `action` throws.
template <typename F>
QString MessageAffiche(F action)
{
    TPromptsScriptes prompts;
    try {
        action();
    } catch (...) {
        AfficherExceptionCourante();
    }
    return prompts.DernierMessage();
}

void VerifierFrancais(const QString& message)
{
    QVERIFY2(!message.contains("Unknown error", Qt::CaseInsensitive), qPrintable(message));
    QVERIFY2(!message.startsWith("database") && !message.startsWith("No such"), qPrintable(message));
}
}  // namespace

class TestEchecs : public QObject {
    Q_OBJECT

private slots:
    void lockedCatalogueSaysBusyAfterTheTimeout()
    {
        TCatalogueTest cat;
        TdmKestravel& dm = cat.Dm();
        TAutreConnexion autre(cat.Chemin(), SQLITE_OPEN_READWRITE);
        QCOMPARE(autre.Executer("BEGIN IMMEDIATE"), SQLITE_OK);
        sqlite3_busy_timeout(dm.Handle(), 100);

        // Through the cursors (the engine's own API)…
        const QString parCurseur = MessageAffiche([&] {
            dm.tblProduitType.Insert();
            dm.tblProduitType.SetField("Externe", 0);
            dm.tblProduitType.SetField("IdProduitType", 1);
            dm.tblProduitType.SetField("Libelle", "Vis");
            dm.tblProduitType.Post();
        });
        QVERIFY2(parCurseur.startsWith("Le catalogue est occupé"), qPrintable(parCurseur));
        QVERIFY2(parCurseur.contains("Détail technique : database is locked"), qPrintable(parCurseur));
        dm.tblProduitType.Cancel();

        // …and through a plain statement.
        const QString parQt = MessageAffiche(
            [&] { ExecuterInstruction(dm.Connexion(), "INSERT INTO ProduitType VALUES (0, 2, 0, 'Clous')"); });
        QVERIFY2(parQt.startsWith("Le catalogue est occupé"), qPrintable(parQt));
        QVERIFY2(parQt.contains("database is locked"), qPrintable(parQt));
        VerifierFrancais(parQt);

        autre.Executer("ROLLBACK");
        QCOMPARE(cat.Entier("SELECT COUNT(*) FROM ProduitType"), 0);
    }

    void readOnlyDamagedAndMissingCatalogues()
    {
        TCatalogueTest cat;
        {
            TAutreConnexion lecture(cat.Chemin(), SQLITE_OPEN_READONLY);
            QVERIFY(lecture.Executer("INSERT INTO ProduitType VALUES (0, 1, 0, 'x')") != SQLITE_OK);
            const QString m = MessageSqlite(lecture.Base());
            QVERIFY2(m.startsWith("Le catalogue est en lecture seule"), qPrintable(m));
            QVERIFY2(m.contains("readonly"), qPrintable(m));
        }

        QTemporaryDir dossier;
        const QString abime = dossier.filePath("Kestravel.abs");
        EcrireFichier(abime, QByteArray(8192, 'x'));
        const QString mAbime = MessageAffiche([&] { TdmKestravel dm(abime); });
        QVERIFY2(mAbime.startsWith(QStringLiteral("Impossible d'ouvrir la base de données « %1 ».").arg(abime)),
                 qPrintable(mAbime));
        QVERIFY2(mAbime.contains("endommagé"), qPrintable(mAbime));
        QVERIFY2(mAbime.contains("Détail technique : file is not a database"), qPrintable(mAbime));

        const QString mAbsent = MessageAffiche([&] { TdmKestravel dm(dossier.filePath("absent/Kestravel.abs")); });
        QVERIFY2(mAbsent.contains("introuvable"), qPrintable(mAbsent));
        QVERIFY(!QFile::exists(dossier.filePath("absent")));
    }

    void fileFailuresTellTheCause()
    {
        QTemporaryDir dossier;
        TXmlDoc doc("Kestravel");

        // Missing folder.
        const QString absent = dossier.filePath("absent/demande.xml");
        const QString mAbsent = MessageAffiche([&] { doc.SaveToFile(absent); });
        QVERIFY2(mAbsent.startsWith(QStringLiteral("Impossible d'enregistrer le fichier « %1 ».").arg(absent)),
                 qPrintable(mAbsent));
        QVERIFY2(mAbsent.contains("introuvable"), qPrintable(mAbsent));
        VerifierFrancais(mAbsent);
        const QString mLecture = MessageAffiche([&] { doc.LoadFromFile(absent); });
        QVERIFY2(mLecture.contains("introuvable"), qPrintable(mLecture));
        VerifierFrancais(mLecture);

        // Full disk: the system's own full device.
        QFile plein("/dev/full");
        if (plein.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            errno = 0;
            QCOMPARE(plein.write(QByteArray(4096, 'x')), qint64(-1));
            const QString m = MessageFichier(plein, plein.fileName(), true, "Enregistrement impossible.", errno);
            QVERIFY2(m.contains("Le disque est plein"), qPrintable(m));
            QVERIFY2(m.contains("Détail technique : No space left on device"), qPrintable(m));
        }

        // No right to write in the folder (the super-user has every right).
        if (geteuid() != 0) {
            const QString ferme = dossier.filePath("ferme");
            QDir().mkpath(ferme);
            QFile::setPermissions(ferme, QFile::ReadOwner | QFile::ExeOwner);
            const QString m = MessageAffiche([&] { doc.SaveToFile(ferme + "/demande.xml"); });
            QFile::setPermissions(ferme, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QVERIFY2(m.contains("L'accès est refusé"), qPrintable(m));
            VerifierFrancais(m);
        }

        // A detail that says nothing is left out rather than shown.
        const QString vide = ComposerMessage("Contexte.", PhraseFichier(TCauseEchec::Autre), "Unknown error");
        QCOMPARE(vide, QStringLiteral("Contexte.\nLe fichier n'a pas pu être lu ou écrit."));
    }

    void anythingElseIsStillFrench()
    {
        const QString m = MessageAffiche([] { throw std::runtime_error("vector::_M_range_check"); });
        QVERIFY2(m.startsWith("Une erreur inattendue"), qPrintable(m));
        QVERIFY2(m.endsWith("Détail technique : vector::_M_range_check"), qPrintable(m));
        QVERIFY(!MessageAffiche([] { throw 42; }).isEmpty());
    }

    void startUpShowsTheExplainedError()
    {
        TInstallation inst;
        EcrireFichier(inst.Base(), QByteArray(8192, 'x'));
        const QString xml = inst.Racine() + "demande.xml";
        EcrireFichier(xml, "<?xml version=\"1.0\" encoding=\"windows-1252\"?><Kestravel/>");
        const auto r = inst.Lancer({"CONTROLE", inst.Ini(), xml});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("Le fichier du catalogue est endommagé"), qPrintable(r.erreurs));
        QVERIFY2(r.erreurs.contains("Détail technique : file is not a database"), qPrintable(r.erreurs));
    }
};

QTEST_MAIN(TestEchecs)
#include "test_echecs.moc"
