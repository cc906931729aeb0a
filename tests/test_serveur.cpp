// The catalogue on a PostgreSQL server (the run's private server): where the
// installation says it is, creating it with its least-privilege role,
// moving a file catalogue onto it, and a server that cannot be reached.

#include "core/base/emplacement.h"
#include "core/exchange/xmldoc.h"
#include "core/serveur/catalogueserveur.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/libpq.h"
#include "core/store/recherche.h"
#include "core/store/schema.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"
#include "tools/demo.h"

#include <QDir>
#include <QProcess>
#include <QtTest>
#include <memory>
#include <vector>

namespace {
const QByteArray Declaration = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n";

QByteArray Ligne(const char* type, int id, int quantite)
{
    return QStringLiteral("<Produit Type=\"%1\" Externe=\"0\" IdProduit=\"%2\" IdProduitType=\"1\" Quantite=\"%3\"/>")
        .arg(type)
        .arg(id)
        .arg(quantite)
        .toUtf8();
}

QByteArray Demande(const QByteArray& lignes) { return Declaration + "<Kestravel>" + lignes + "</Kestravel>\n"; }

// An installation whose catalogue is the given server database.
std::unique_ptr<TInstallation> InstallationServeur(const QString& connexion)
{
    auto inst = std::make_unique<TInstallation>(false);
    EcrireEmplacementServeur(inst->Module(), connexion);
    return inst;
}

QProcess* LancerControle(const TInstallation& inst, const QString& demande)
{
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p->setProcessEnvironment(env);
    p->start(inst.Module() + "kestravel", {"CONTROLE", inst.Ini(), demande});
    return p;
}

QStringList Valeurs(TConnexionPg& c, const QString& sql)
{
    const TResultatPg r = c.Executer(sql);
    QStringList v;
    for (int l = 0; l < r.Lignes(); ++l)
        for (int k = 0; k < r.Colonnes(); ++k)
            v << (r.Nul(l, k) ? QStringLiteral("<nul>") : r.Texte(l, k));
    return v;
}

// The five tables' content, read the same way on either engine.
QString Contenu(TdmKestravel& dm)
{
    QStringList lignes;
    for (const QString& table : TablesCatalogue()) {
        const QStringList& colonnes = ColonnesCatalogue(table);
        TInstructionSql q(
            dm.Connexion(),
            "SELECT " + colonnes.join(", ") + " FROM \"" + table + "\" ORDER BY " + colonnes.mid(0, 3).join(", "));
        while (q.Etape()) {
            QStringList champs;
            for (int i = 0; i < colonnes.size(); ++i)
                champs << (q.EstNul(i) ? QStringLiteral("<nul>") : q.Valeur(i).toString());
            lignes << table + ": " + champs.join('|');
        }
    }
    return lignes.join('\n');
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

        EcrireFichier(d.filePath("Kestravel.conf"),
                      "[Autre]\nServeur=x\n[catalogue]\r\nSERVEUR = host=/run/pg dbname=k \r\n");
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
            QVERIFY(
                Accepte(caisse, "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Stock) VALUES (0, 1, 1, 5)"));
            QVERIFY(Accepte(caisse, "UPDATE Produit SET Stock = Stock - 1"));
            QVERIFY(Accepte(caisse, "INSERT INTO \"Transaction\" (Externe, IdProduit) VALUES (0, 1)"));
            QVERIFY(Accepte(
                caisse,
                "INSERT INTO ControleEnCours (Poste, Chemin, Temporaire, Empreinte) VALUES ('p', 'a', 'b', 'c')"));
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
        fichier.Sql(
            "UPDATE Produit SET PrixVenteHT = 2.675, PrixAchatHT = 131072.01, Description = ?,"
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
        QCOMPARE(Valeurs(c,
                         "SELECT PrixVenteHT, PrixAchatHT, Description, Reference FROM Produit"
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

    // SYNCHRO between installations whose catalogues are a file or a server,
    // each named by its own Kestravel.conf: the target holds the source's
    // five tables exactly, and its next stock movement follows the copied
    // ones.
    void synchronisationFichierServeur()
    {
        TInstallation fichier;
        RemplirCatalogueDemo(fichier.Base());
        {
            TdmKestravel dm(fichier.Base());
            TInstructionSql q(
                dm.Connexion(),
                QStringLiteral("UPDATE Produit SET Description = ?, Reference = NULL WHERE IdProduit = 2"));
            q.LierTexte(1, QString("tab\there, « guillemets », \\N"));
            q.Executer();
        }
        const QString attendu = [&] {
            TdmKestravel dm(fichier.Base());
            return Contenu(dm);
        }();

        TBaseServeurTest base1, base2;
        CreerCatalogueServeur(base1.Connexion());
        CreerCatalogueServeur(base2.Connexion());
        const auto serveur1 = InstallationServeur(base1.Connexion());
        const auto serveur2 = InstallationServeur(base2.Connexion());
        TInstallation autreFichier;

        // File to server, server to server, server to file.
        const QList<QPair<const TInstallation*, const TInstallation*>> etapes{
            {&fichier, serveur1.get()}, {serveur1.get(), serveur2.get()}, {serveur2.get(), &autreFichier}};
        for (const auto& [source, cible] : etapes) {
            const auto r = cible->Lancer({"SYNCHRO", source->Racine(), cible->Racine()});
            QVERIFY2(r.code == 0, qPrintable(r.erreurs));
        }
        for (const QString& connexion : {base1.Connexion(), base2.Connexion()}) {
            TdmKestravel dm(connexion, TdmKestravel::Serveur::Oui);
            QCOMPARE(Contenu(dm), attendu);
            const qint64 dernier = dm.Connexion().Valeur("SELECT MAX(IdTransaction) FROM \"Transaction\"").toLongLong();
            QCOMPARE(
                dm.Connexion()
                    .Valeur("INSERT INTO \"Transaction\" (Externe, IdProduit) VALUES (0, 1) RETURNING IdTransaction")
                    .toLongLong(),
                dernier + 1);
        }
        TdmKestravel dm(autreFichier.Base());
        QCOMPARE(Contenu(dm), attendu);

        // A server source that cannot be reached: the target is left whole.
        const auto injoignable = InstallationServeur("host=/nulle/part dbname=kestravel");
        const auto r = serveur1->Lancer({"SYNCHRO", injoignable->Racine(), serveur1->Racine()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("/nulle/part"), qPrintable(r.erreurs));
        TdmKestravel apres(base1.Connexion(), TdmKestravel::Serveur::Oui);
        QVERIFY(Contenu(apres).startsWith(attendu));
    }

    // Searching a server catalogue: no index to prepare, accents and case
    // folded as the file's index folds them, words in any of the texts.
    void rechercheSurServeur()
    {
        TBaseServeurTest base;
        CreerCatalogueServeur(base.Connexion());
        TdmKestravel dm(base.Connexion(), TdmKestravel::Serveur::Oui);
        const auto produit = [&](int id, const QString& libelle, const QString& reference) {
            TInstructionSql q(
                dm.Connexion(),
                QStringLiteral("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Libelle, Reference)"
                               " VALUES (0, ?, 1, ?, ?)"));
            q.Lier({id, libelle, reference});
            q.Executer();
        };
        produit(1, "Scie ÉGOÏNE", "SC_1");
        produit(2, "Marteau", "100%");
        produit(3, "Scie à métaux", "SC-2");
        QVERIFY(IndexRechercheInstalle(dm.Connexion()));
        const auto trouves = [&](const QString& texte) {
            TCritereRecherche c;
            c.texte = texte;
            const TResultatRecherche r = Rechercher(dm.Connexion(), c);
            QStringList ids;
            for (int i = 0; i < r.lignes.Taille(); ++i)
                ids << QString::number(r.lignes[i].idProduit);
            return r.erreur.isEmpty() ? ids.join(',') : r.erreur;
        };
        QCOMPARE(trouves("égoïne"), QString("1"));
        QCOMPARE(trouves("scie"), QString("1,3"));
        QCOMPARE(trouves("scie METAUX"), QString("3"));
        QCOMPARE(trouves("sc_"), QString("1"));  // '_' is a letter here, not a wildcard
        QCOMPARE(trouves("0%"), QString("2"));
        QCOMPARE(trouves("perceuse"), QString());
    }

    // Many tills selling the same few products at once: nobody sells what
    // is not there, each movement is written once, every request gets all
    // its outcomes; requests name the products in different orders.
    void ventesSimultanees()
    {
        TBaseServeurTest base;
        CreerCatalogueServeur(base.Connexion());
        TConnexionPg c(base.Connexion());
        const int produits = 3, stockInitial = 25, processus = 16, tours = 20;
        for (int id = 1; id <= produits; ++id)
            c.Executer("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Stock) VALUES (0, $1, 1, $2)",
                       {id, stockInitial});
        auto inst = InstallationServeur(base.Connexion());
        int pris = 0, epuises = 0;
        for (int tour = 0; tour < tours; ++tour) {
            std::vector<std::unique_ptr<QProcess>> lances;
            QStringList fichiers;
            for (int n = 0; n < processus; ++n) {
                QByteArray lignes;
                for (int k = 0; k < produits; ++k) {
                    const int id = 1 + (n + k * (1 + n % 2)) % produits;
                    lignes += Ligne("Commander", id, 1 + (n + tour + k) % 2);
                }
                fichiers << inst->Racine() + QStringLiteral("demande-%1.xml").arg(n);
                EcrireFichier(fichiers.last(), Demande(lignes));
                lances.emplace_back(LancerControle(*inst, fichiers.last()));
            }
            for (int n = 0; n < processus; ++n) {
                QVERIFY(lances[n]->waitForFinished(120000));
                QVERIFY2(lances[n]->exitCode() == 0, lances[n]->readAllStandardError().constData());
                TXmlDoc doc("Kestravel");
                doc.LoadFromFile(fichiers[n]);
                TXmlNodeRefList l;
                doc.Root().ChildrenByName("Produit", l);
                QCOMPARE(l.Count(), produits);
                for (int k = 0; k < l.Count(); ++k) {
                    const QString etat = l.Get(k).ReadAttributeString("Etat", QString());
                    QVERIFY2(etat == "Ok" || etat == "Epuiser", qPrintable(etat));
                    if (etat == "Ok")
                        pris += l.Get(k).ReadAttributeInteger("Quantite", 0);
                    else
                        ++epuises;
                }
            }
        }
        const QStringList stocks = Valeurs(c, "SELECT Stock FROM Produit ORDER BY IdProduit");
        int reste = 0;
        for (const QString& s : stocks) {
            QVERIFY2(s.toInt() >= 0, "stock négatif : vente de ce qui n'existe pas");
            reste += s.toInt();
        }
        QCOMPARE(pris + reste, produits * stockInitial);
        QVERIFY(epuises > 0);  // the stock did run out: the check was exercised
        QCOMPARE(Valeurs(c, "SELECT COALESCE(SUM(QuantiteOld - QuantiteNew), 0) FROM \"Transaction\""),
                 QStringList{QString::number(pris)});
        QCOMPARE(Valeurs(c, "SELECT COUNT(*) FROM \"Transaction\" t WHERE QuantiteOld - QuantiteNew NOT IN (1, 2)"),
                 QStringList{"0"});
    }

    // A connection cut while the request waits for a row another till
    // holds: nothing is half done, the file is as the host wrote it.
    void connexionCoupee()
    {
        TBaseServeurTest base;
        CreerCatalogueServeur(base.Connexion());
        TConnexionPg c(base.Connexion());
        for (int id = 1; id <= 3; ++id)
            c.Executer("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Stock) VALUES (0, $1, 1, 10)", {id});
        auto inst = InstallationServeur(base.Connexion());
        const QString fichier = inst->Racine() + "demande.xml";
        const QByteArray demande =
            Demande(Ligne("Commander", 1, 2) + Ligne("Remonter", 2, 1) + Ligne("Commander", 3, 1));
        EcrireFichier(fichier, demande);

        TConnexionPg autre(base.Connexion());
        autre.Executer("BEGIN");
        autre.Executer("SELECT 1 FROM Produit WHERE IdProduit = 3 FOR UPDATE");
        std::unique_ptr<QProcess> p(LancerControle(*inst, fichier));
        // Wait until the request waits on the held row, then cut it.
        QTRY_VERIFY_WITH_TIMEOUT(Valeurs(c,
                                         "SELECT COUNT(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'"
                                         " AND datname = current_database()")
                                     == QStringList{"1"},
                                 30000);
        c.Executer(
            "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE wait_event_type = 'Lock'"
            " AND datname = current_database()");
        QVERIFY(p->waitForFinished(60000));
        autre.Executer("ROLLBACK");
        QCOMPARE(p->exitCode(), 1);
        const QString erreurs = QString::fromLocal8Bit(p->readAllStandardError());
        QVERIFY2(erreurs.contains("la connexion au serveur a été coupée"), qPrintable(erreurs));
        QCOMPARE(LireFichier(fichier).toUtf8(), demande);
        QCOMPARE(Valeurs(c, "SELECT Stock FROM Produit ORDER BY IdProduit"), (QStringList{"10", "10", "10"}));
        QCOMPARE(Valeurs(c, "SELECT COUNT(*) FROM \"Transaction\""), QStringList{"0"});
        QCOMPARE(QDir(inst->Racine()).entryList(QDir::Hidden | QDir::Files).filter(".kestravel-"), QStringList());

        // The same request, the row free again, goes through.
        p.reset(LancerControle(*inst, fichier));
        QVERIFY(p->waitForFinished(60000));
        QCOMPARE(p->exitCode(), 0);
        QCOMPARE(Valeurs(c, "SELECT Stock FROM Produit ORDER BY IdProduit"), (QStringList{"8", "11", "9"}));
    }

    void serveurArrete()
    {
        QTemporaryDir vide;
        auto inst = InstallationServeur("host=" + vide.path() + " dbname=kestravel user=caisse");
        const QString fichier = inst->Racine() + "demande.xml";
        const QByteArray demande = Demande(Ligne("Commander", 1, 1));
        EcrireFichier(fichier, demande);
        const TInstallation::Resultat r = inst->Lancer({"CONTROLE", inst->Ini(), fichier});
        QCOMPARE(r.code, 1);
        QVERIFY2(
            r.erreurs.contains(QStringLiteral("Connexion impossible au serveur du catalogue « %1, base kestravel » :"
                                              " le serveur ne répond pas")
                                   .arg(vide.path())),
            qPrintable(r.erreurs));
        QCOMPARE(LireFichier(fichier).toUtf8(), demande);
    }

    // libpq, the C library and the server speak the workstation's or the
    // server's language: the same case gets the same French sentence.
    void raisonsEnAnglaisEtEnFrancais_data()
    {
        QTest::addColumn<QByteArray>("texte");
        QTest::addColumn<QString>("phrase");
        const QString arrete = "le serveur ne répond pas (arrêté, ou adresse erronée)";
        QTest::newRow("socket absent") << QByteArray(
            "connection to server on socket \"/tmp/.s.PGSQL.5432\" failed:"
            " No such file or directory")
                                       << arrete;
        QTest::newRow("socket absent, fr") << QByteArray(
            "la connexion au serveur sur le socket « /tmp/.s.PGSQL.5432 »"
            " a échoué : Aucun fichier ou dossier de ce type")
                                           << arrete;
        QTest::newRow("refus, fr") << QByteArray(
            "la connexion au serveur sur « boutique » (10.0.0.2), port 5432 a"
            " échoué : Connexion refusée")
                                   << arrete;
        QTest::newRow("rôle") << QByteArray("FATAL:  role \"caisse\" does not exist")
                              << "l'identifiant est inconnu du serveur";
        QTest::newRow("rôle, fr") << QByteArray("FATAL:  le rôle « caisse » n'existe pas")
                                  << "l'identifiant est inconnu du serveur";
        QTest::newRow("base, fr") << QByteArray("FATAL:  la base de données « kestravel » n'existe pas")
                                  << "la base n'existe pas sur ce serveur";
        QTest::newRow("mot de passe, fr")
            << QByteArray("FATAL:  authentification par mot de passe échouée pour l'utilisateur  « caisse »")
            << "l'identifiant ou le mot de passe est refusé";
        QTest::newRow("coupure, fr") << QByteArray(
            "FATAL:  arrêt des connexions suite à la demande de l'administrateur")
                                     << "la connexion au serveur a été coupée";
        QTest::newRow("droits, fr") << QByteArray("ERREUR:  droit refusé pour la table produit")
                                    << "les droits de l'identifiant ne le permettent pas";
        QTest::newRow("autre") << QByteArray("ERREUR:  erreur de syntaxe") << QString();
    }
    void raisonsEnAnglaisEtEnFrancais()
    {
        QFETCH(QByteArray, texte);
        QFETCH(QString, phrase);
        const QString detail = QString::fromUtf8(texte);
        QCOMPARE(RaisonServeur(texte.constData()),
                 phrase.isEmpty() ? detail : QStringLiteral("%1 (%2)").arg(phrase, detail));
    }

    void serveurInjoignable()
    {
        QTemporaryDir d;
        try {
            TConnexionPg c("host=" + d.path() + " dbname=kestravel user=caisse connect_timeout=5");
            QFAIL("connexion à un serveur absent");
        } catch (const EDatabaseError& e) {
            QVERIFY2(e.Message().startsWith(
                         QStringLiteral("Connexion impossible au serveur du catalogue « %1, base kestravel »")
                             .arg(d.path())),
                     qPrintable(e.Message()));
        }
    }
};

QTEST_MAIN(TestServeur)
#include "test_serveur.moc"
