// The stock control request through the real binary in a temporary
// installation: outcomes written back, stock moved and recorded, failures
// leaving file and catalogue as they were, several processes at once.

#include "core/base/emplacement.h"
#include "core/exchange/xmldoc.h"
#include "core/interchange/formatcsv.h"
#include "core/serveur/catalogueserveur.h"
#include "core/store/acces.h"
#include "core/store/dates.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"
#include "core/store/libpq.h"
#include "tests/serveurtest.h"
#include "tests/soutien.h"

#include <libxml/tree.h>

#include <unistd.h>
#include <QCryptographicHash>
#include <QDate>
#include <QSysInfo>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>
#include <memory>

namespace {
const QByteArray Declaration = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n";

QByteArray Octets(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The suite runs three times: on a catalogue file, then on the run's
// PostgreSQL server (the installation's Kestravel.conf names it), then with
// the tills reaching that server through PgBouncer, as busy shops do.
QString g_connexion;  // the server database of the current test
bool g_regroupeur = false;

// The tills' connection string to the current test's database.
QString ConnexionDesCaisses()
{
    if (!g_regroupeur)
        return g_connexion;
    const QString dossier = ServeurTest().section(' ', 0, 0);  // host=DOSSIER
    return QString(g_connexion).replace(dossier + ' ', dossier + "/regroupeur ");
}

// The catalogue of an installation, seen from the test: the file at
// `chemin`, or the current test's server database.
class TBase {
public:
    explicit TBase(const QString& chemin)
    {
        if (g_serveur)
            m_serveur = std::make_unique<TConnexionPg>(g_connexion);
        else
            m_dm = std::make_unique<TdmKestravel>(chemin);
    }
    // Rows of a query with `?` parameters, on either engine.
    QList<QVariantList> Lignes(const QString& sql, const QVariantList& v = {})
    {
        QList<QVariantList> lignes;
        if (m_serveur) {
            // The connection numbers the `?` parameters itself.
            const TResultatPg r = m_serveur->Executer(sql, v);
            for (int l = 0; l < r.Lignes(); ++l) {
                QVariantList ligne;
                for (int k = 0; k < r.Colonnes(); ++k)
                    ligne << (r.Nul(l, k) ? QVariant() : QVariant(r.Texte(l, k)));
                lignes << ligne;
            }
            return lignes;
        }
        TInstructionSql q = Interroger(m_dm->Connexion(), sql, v);
        while (q.Etape()) {
            QVariantList ligne;
            for (int k = 0; k < q.NombreColonnes(); ++k)
                ligne << q.Valeur(k);
            lignes << ligne;
        }
        return lignes;
    }
    void Sql(const QString& sql, const QVariantList& v = {}) { Lignes(sql, v); }
    int Entier(const QString& sql, const QVariantList& v = {})
    {
        const QList<QVariantList> l = Lignes(sql, v);
        return l.isEmpty() ? -999 : l.first().value(0).toInt();
    }
    void Produit(int externe, int id, int type, int stock, const QString& lien = QString())
    {
        Sql("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Description, CodeExport, PrixAchatHT,"
            " PrixTarifHT, PrixVenteHT, Libelle, DateCreation, Reference, Lien, Stock, StockMini)"
            " VALUES (?, ?, ?, ?, 'C', 10.5, 1234.567, 0, ?, '2024-01-02 00:00:00.000', ?, ?, ?, 1)",
            {externe, id, type, QStringLiteral("Ligne 1\r\nLigne 2 & <3>"), QStringLiteral("Café n° %1").arg(id),
             QStringLiteral("R%1").arg(id), lien, stock});
    }
    int Stock(int externe, int id, int type)
    {
        return Entier("SELECT Stock FROM Produit WHERE Externe = ? AND IdProduit = ? AND IdProduitType = ?",
                      {externe, id, type});
    }
    int Mouvements() { return Entier("SELECT COUNT(*) FROM \"Transaction\""); }
    // Requests committed whose outcomes were not yet seen in their file.
    int EnAttente()
    {
        if (!m_serveur && Entier("SELECT COUNT(*) FROM sqlite_master WHERE name = 'ControleEnCours'") == 0)
            return 0;
        return Entier("SELECT COUNT(*) FROM ControleEnCours WHERE Resultat IS NOT NULL");
    }
    // The movements of a product, "old>new" in their order.
    QStringList Historique(int externe, int id, int type)
    {
        QStringList h;
        for (const QVariantList& t : Lignes("SELECT QuantiteOld, QuantiteNew FROM \"Transaction\" WHERE Externe = ?"
                                            " AND IdProduit = ? AND IdProduitType = ? ORDER BY IdTransaction",
                                            {externe, id, type}))
            h << t.value(0).toString() + '>' + t.value(1).toString();
        return h;
    }

private:
    std::unique_ptr<TdmKestravel> m_dm;
    std::unique_ptr<TConnexionPg> m_serveur;
};

QByteArray Ligne(const QString& type, int externe, int id, int typeProduit, const QString& quantite = QString(),
                 const QString& extra = QString())
{
    QString s = QStringLiteral("<Produit Type=\"%1\" Externe=\"%2\" IdProduit=\"%3\" IdProduitType=\"%4\"")
                    .arg(type)
                    .arg(externe)
                    .arg(id)
                    .arg(typeProduit);
    if (!quantite.isNull())
        s += QStringLiteral(" Quantite=\"%1\"").arg(quantite);
    return (s + extra + "/>").toUtf8();
}

using TVariables = QList<QPair<QString, QString>>;

// Starts the installed binary as TInstallation::Lancer does (no screen,
// French settings), with these variables set (an empty value removes one).
void Demarrer(QProcess& p, const TInstallation& inst, const QStringList& arguments, const TVariables& variables)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* nom : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(nom);
    env.insert("LANG", "fr_FR.UTF-8");
    env.insert("LC_ALL", "fr_FR.UTF-8");
    for (const auto& [nom, valeur] : variables) {
        if (valeur.isEmpty())
            env.remove(nom);
        else
            env.insert(nom, valeur);
    }
    p.setProcessEnvironment(env);
    p.start(inst.Module() + "kestravel", arguments);
}

TInstallation::Resultat Attendre(QProcess& p)
{
    TInstallation::Resultat r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        r.code = -2;
    } else {
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
    }
    r.erreurs = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

TInstallation::Resultat LancerAvec(const TInstallation& inst, const QStringList& arguments, const TVariables& variables)
{
    QProcess p;
    Demarrer(p, inst, arguments, variables);
    return Attendre(p);
}

// The crash helper preloaded, with one of its variables (see arret_brutal.cpp).
TVariables Arret(const QString& variable, const QString& valeur = QStringLiteral("1"))
{
    return VariablesPrechargement(qEnvironmentVariable("KESTRAVEL_BUILD") + "/tests/kestravel-arret.so")
        << qMakePair(variable, valeur);
}

// Waits until a process paused by the crash helper at `point` got there.
bool PauseAtteinte(const QString& point)
{
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(point + ".atteint") && t.elapsed() < 60000)
        QThread::msleep(5);
    return QFile::exists(point + ".atteint");
}

QStringList Temporaires(const QString& dossier)
{
    return QDir(dossier).entryList({".*.kestravel-*"}, QDir::Files | QDir::Hidden);
}

bool Xmllint(const QString& chemin, QString& erreurs)
{
    QProcess p;
    p.start("xmllint", {"--noout", chemin});
    const bool ok = p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    erreurs = QString::fromLocal8Bit(p.readAllStandardError());
    return ok;
}

QStringList Enfants(const TXmlNodeRef& n)
{
    QStringList r;
    for (auto* e = n.Node()->children; e; e = e->next)
        r << TXmlNodeRef(e).Name();
    return r;
}
}  // namespace

class TestControle : public QObject {
    Q_OBJECT

    std::unique_ptr<TBaseServeurTest> m_baseServeur;
    std::unique_ptr<TInstallation> m_inst;
    QString m_fichier;

    TInstallation::Resultat Controler(const QByteArray& contenu)
    {
        EcrireFichier(m_fichier, contenu);
        return m_inst->Lancer({"CONTROLE", m_inst->Ini(), m_fichier});
    }

private slots:
    void initTestCase() { LocaleFrancaise(); }
    void init()
    {
        if (g_serveur) {
            m_baseServeur = std::make_unique<TBaseServeurTest>();
            g_connexion = m_baseServeur->Connexion();
            CreerCatalogueServeur(g_connexion);
            m_inst = std::make_unique<TInstallation>(false);
            EcrireEmplacementServeur(m_inst->Module(), ConnexionDesCaisses());
        } else {
            m_inst = std::make_unique<TInstallation>();
        }
        m_fichier = m_inst->Racine() + "demande.xml";
    }
    void cleanup()
    {
        m_inst.reset();
        m_baseServeur.reset();
    }

    void sansLigneLeContenuResteLeMeme()
    {
        const QByteArray contenu = Declaration + "<Kestravel><Autre Type=\"Commander\"/><!-- rien --></Kestravel>\n";
        const auto r = Controler(contenu);
        QCOMPARE(r.code, 0);
        QCOMPARE(Octets(m_fichier), contenu);
    }

    void issuesDesLignes()
    {
        {
            TBase b(m_inst->Base());
            b.Produit(0, 1, 3, 5);
            b.Produit(0, 2, 3, 5);
            b.Produit(0, 3, 3, 5);
            b.Produit(0, 4, 3, 1);
            b.Produit(1, 1, 3, 9);  // same number, another origin
        }
        const QByteArray demande = Declaration + "<Kestravel>" + Ligne("Commander", 0, 99, 3, "1")  // 0 unknown
            + Ligne("Commander", 0, 1, 4, "1")  // 1 wrong category
            + Ligne("Commander", 0, 1, 3, "5")  // 2 exact stock
            + Ligne("Commander", 0, 2, 3, "6")  // 3 too many
            + Ligne("Commander", 0, 3, 3, "3", " Etat=\"Ancien\"")  // 4
            + Ligne("Commander", 0, 3, 3, "3")  // 5 what is left
            + Ligne("Remonter", 0, 4, 3, "4")  // 6
            + Ligne("commander", 1, 1, 3, "1")  // 7 case counts
            + Ligne("Commander", 1, 1, 3)  // 8 no quantity
            + Ligne("Remonter", 1, 1, 3, "-2")  // 9 negative
            + Ligne("Commander", 1, 1, 3, "abc")  // 10 not a number
            + Ligne("", 1, 1, 3, "1")  // 11 no type
            + "<Produit/>"  // 12 no key
            + Ligne("Remonter", 0, 2, 3, "2147483647")  // 13 overflow
            + "</Kestravel>";
        const auto r = Controler(demande);
        QVERIFY2(r.code == 0, qPrintable(r.erreurs));

        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(m_fichier);
        TXmlNodeRefList l;
        doc.Root().ChildrenByName("Produit", l);
        QCOMPARE(l.Count(), 14);
        const QStringList etats = {"Supprimer", "Supprimer", "Ok",   "Epuiser", "Ok",   "Epuiser",   "Ok",
                                   "Vide",      "Vide",      "Vide", "Vide",    "Vide", "Supprimer", "Vide"};
        for (int i = 0; i < l.Count(); ++i)
            QCOMPARE(l.Get(i).ReadAttributeString("Etat", "?"), etats[i]);
        for (int i : {0, 1, 2, 4, 6, 7, 8, 12})
            QCOMPARE(l.Get(i).ReadAttributeString("Stock", "absent"), QString("absent"));
        QCOMPARE(l.Get(3).ReadAttributeString("Stock", ""), QString("5"));
        QCOMPARE(l.Get(5).ReadAttributeString("Stock", ""), QString("2"));
        QVERIFY(doc.Root().FindChild("Produit").FindChild("Libelle").IsNull());

        TBase b(m_inst->Base());
        QCOMPARE(b.Stock(0, 1, 3), 0);
        QCOMPARE(b.Stock(0, 2, 3), 5);
        QCOMPARE(b.Stock(0, 3, 3), 2);
        QCOMPARE(b.Stock(0, 4, 3), 5);
        QCOMPARE(b.Stock(1, 1, 3), 9);
        QCOMPARE(b.Mouvements(), 3);
        const QString lignes =
            "SELECT Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew, Libelle, DateMaj"
            " FROM \"Transaction\" ORDER BY IdTransaction";
        struct Attendu {
            int id, avant, apres;
            QString libelle;
        };
        const QList<Attendu> attendus = {
            {1, 5, 0, "Passage en commande"}, {3, 5, 2, "Passage en commande"}, {4, 1, 5, "Commande annulée"}};
        const QList<QVariantList> t = b.Lignes(lignes);
        QCOMPARE(t.size(), attendus.size());
        for (int i = 0; i < attendus.size(); ++i) {
            const Attendu& a = attendus[i];
            QCOMPARE(t[i].value(0).toInt(), 0);
            QCOMPARE(t[i].value(1).toInt(), a.id);
            QCOMPARE(t[i].value(2).toInt(), 3);
            QCOMPARE(t[i].value(3).toInt(), a.avant);
            QCOMPARE(t[i].value(4).toInt(), a.apres);
            QCOMPARE(t[i].value(5).toString(), a.libelle);
            QVERIFY(qAbs(LireDateHeureBase(t[i].value(6).toString()).secsTo(QDateTime::currentDateTime())) < 120);
        }
    }

    void actualiserEcritLesOnzeEnfants()
    {
        {
            TBase b(m_inst->Base());
            b.Produit(0, 7, 2, 4, "7.jpg");
            b.Produit(2, 8, 2, 4, "8.bmp");
        }
        const auto r = Controler(Declaration + "<Kestravel>" + Ligne("Actualiser", 0, 7, 2, "3")
                                 + "<Produit Type=\"Actualiser\" Externe=\"2\" IdProduit=\"8\" IdProduitType=\"2\">"
                                   "<Quantite>ancienne</Quantite><Autre/></Produit>"
                                 + Ligne("Actualiser", 0, 9, 2, "3") + "</Kestravel>");
        QVERIFY2(r.code == 0, qPrintable(r.erreurs));
        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(m_fichier);
        TXmlNodeRefList l;
        doc.Root().ChildrenByName("Produit", l);
        const TXmlNodeRef p = l.Get(0);
        QCOMPARE(p.ReadAttributeString("Etat", ""), QString("Actualiser"));
        QCOMPARE(p.ReadAttributeString("DateExport", ""), DateCourte(QDate::currentDate()));
        QCOMPARE(Enfants(p),
                 QStringList({"Externe", "IdProduit", "IdProduitType", "Libelle", "Description", "Reference",
                              "Quantite", "PrixAchatHT", "PrixTarifHT", "PrixVentetHT", "Image"}));
        QCOMPARE(p.FindChild("Externe").Text(), QString("0"));
        QCOMPARE(p.FindChild("IdProduit").Text(), QString("7"));
        QCOMPARE(p.FindChild("Libelle").Text(), QString("Café n° 7"));
        QCOMPARE(p.FindChild("Description").Text(), QString("Ligne 1\r\nLigne 2 & <3>"));
        QCOMPARE(p.FindChild("Reference").Text(), QString("R7"));
        QCOMPARE(p.FindChild("Quantite").Text(), QString("3"));
        QCOMPARE(p.FindChild("PrixAchatHT").Text(), QString("10,50"));
        QCOMPARE(p.FindChild("PrixTarifHT").Text(), QString("1234,57"));
        QCOMPARE(p.FindChild("PrixVentetHT").Text(), QString("0,00"));
        QCOMPARE(p.FindChild("Image").Text(), m_inst->Administration() + "Images/Interne/7.jpg");

        // Missing quantity echoed as -1; existing children updated in place.
        const TXmlNodeRef s = l.Get(1);
        QCOMPARE(Enfants(s),
                 QStringList({"Quantite", "Autre", "Externe", "IdProduit", "IdProduitType", "Libelle", "Description",
                              "Reference", "PrixAchatHT", "PrixTarifHT", "PrixVentetHT", "Image"}));
        QCOMPARE(s.FindChild("Quantite").Text(), QString("-1"));
        QCOMPARE(s.FindChild("Image").Text(), m_inst->Administration() + "Images/Standard/8.bmp");

        QCOMPARE(l.Get(2).ReadAttributeString("Etat", ""), QString("Supprimer"));
        QVERIFY(l.Get(2).ReadAttributeString("DateExport", "absent") == "absent");
        QCOMPARE(TBase(m_inst->Base()).Mouvements(), 0);
    }

    void racineDUnAutreNom()
    {
        TBase(m_inst->Base()).Produit(0, 1, 1, 5);
        const auto r = Controler("<Commande>" + Ligne("Commander", 0, 1, 1, "2") + "</Commande>");
        QCOMPARE(r.code, 0);
        QVERIFY(Octets(m_fichier).contains("Etat=\"Ok\""));
        QCOMPARE(TBase(m_inst->Base()).Stock(0, 1, 1), 3);
    }

    void fichierMalFormeOuAbsent()
    {
        TBase(m_inst->Base()).Produit(0, 1, 1, 5);
        const QByteArray mal = Declaration + "<Kestravel>" + Ligne("Commander", 0, 1, 1, "2") + "<Produit>";
        auto r = Controler(mal);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("n'est pas un document XML valide"), qPrintable(r.erreurs));
        QCOMPARE(Octets(m_fichier), mal);
        QCOMPARE(TBase(m_inst->Base()).Stock(0, 1, 1), 5);

        r = m_inst->Lancer({"CONTROLE", m_inst->Ini(), m_inst->Racine() + "absent.xml"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("absent.xml"), qPrintable(r.erreurs));
        QVERIFY(!QFile::exists(m_inst->Racine() + "absent.xml"));
    }

    // The file cannot be written back (a file size limit below the request's
    // size, above the catalogue's needs): no stock moves.
    void enregistrementImpossibleNeBougeRien()
    {
        TBase b(m_inst->Base());  // kept open so the engine's shared files exist
        b.Produit(0, 1, 1, 50);
        QByteArray demande = Declaration + "<Kestravel>";
        for (int i = 0; i < 4000; ++i)
            demande += Ligne("Commander", 0, 1, 1, "1");
        demande += "</Kestravel>";
        EcrireFichier(m_fichier, demande);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(env);
        p.start("/bin/sh",
                {"-c", "ulimit -f 400; trap '' XFSZ; exec \"$0\" CONTROLE \"$1\" \"$2\"",
                 m_inst->Module() + "kestravel", m_inst->Ini(), m_fichier});
        QVERIFY(p.waitForFinished(60000));
        QVERIFY(p.exitCode() != 0);
        const QByteArray erreurs = p.readAllStandardError();
        QVERIFY2(erreurs.contains("enregistrer"), erreurs.constData());
        QCOMPARE(Octets(m_fichier), demande);
        QCOMPARE(b.Stock(0, 1, 1), 50);
        QCOMPARE(b.Mouvements(), 0);
    }

    // Several processes take stock of the same products at once: nothing is
    // taken twice and every movement is recorded exactly once.
    void plusieursProcessusALaFois()
    {
        const int nbProduits = 3, nbProcessus = 5, nbLignes = 30, initial = 60;
        {
            TBase b(m_inst->Base());
            for (int id = 1; id <= nbProduits; ++id)
                b.Produit(0, id, 1, initial);
        }
        QList<QString> fichiers;
        std::vector<std::unique_ptr<QProcess>> processus;
        for (int n = 0; n < nbProcessus; ++n) {
            QByteArray d = Declaration + "<Kestravel>";
            for (int i = 0; i < nbLignes; ++i) {
                const int id = 1 + (i + n) % nbProduits;
                const bool remonter = (i + 2 * n) % 7 == 0;
                d += Ligne(remonter ? "Remonter" : "Commander", 0, id, 1, QString::number(1 + (i * 3 + n) % 5));
            }
            fichiers << m_inst->Racine() + QStringLiteral("demande%1.xml").arg(n);
            EcrireFichier(fichiers.last(), d + "</Kestravel>");
        }
        for (int n = 0; n < nbProcessus; ++n) {
            processus.push_back(std::make_unique<QProcess>());
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove("DISPLAY");
            env.remove("QT_QPA_PLATFORM");
            processus.back()->setProcessEnvironment(env);
            processus.back()->start(m_inst->Module() + "kestravel", {"CONTROLE", m_inst->Ini(), fichiers[n]});
        }
        for (auto& p : processus) {
            QVERIFY(p->waitForFinished(120000));
            QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
        }

        QMap<int, int> attendu;
        for (int id = 1; id <= nbProduits; ++id)
            attendu[id] = initial;
        int oks = 0, epuises = 0;
        for (const QString& f : fichiers) {
            TXmlDoc doc("Kestravel");
            doc.LoadFromFile(f);
            TXmlNodeRefList l;
            doc.Root().ChildrenByName("Produit", l);
            QCOMPARE(l.Count(), nbLignes);
            for (int i = 0; i < l.Count(); ++i) {
                const TXmlNodeRef n = l.Get(i);
                const int id = n.ReadAttributeInteger("IdProduit", -1);
                const int q = n.ReadAttributeInteger("Quantite", -1);
                const QString etat = n.ReadAttributeString("Etat", "");
                if (etat == "Ok") {
                    ++oks;
                    attendu[id] += n.ReadAttributeString("Type", "") == "Remonter" ? q : -q;
                } else {
                    QCOMPARE(etat, QString("Epuiser"));
                    QVERIFY(n.ReadAttributeInteger("Stock", -1) < q);
                    ++epuises;
                }
            }
        }
        QVERIFY(epuises > 0);  // stock did run out, so the race mattered

        TBase b(m_inst->Base());
        for (int id = 1; id <= nbProduits; ++id) {
            const int stock = b.Entier("SELECT Stock FROM Produit WHERE IdProduit = ?", {id});
            QCOMPARE(stock, attendu[id]);
            QVERIFY(stock >= 0);
            // The movements of a product chain exactly from the initial stock.
            int courant = initial;
            for (const QVariantList& t : b.Lignes("SELECT QuantiteOld, QuantiteNew FROM \"Transaction\""
                                                  " WHERE IdProduit = ? ORDER BY IdTransaction",
                                                  {id})) {
                QCOMPARE(t.value(0).toInt(), courant);
                courant = t.value(1).toInt();
            }
            QCOMPARE(courant, attendu[id]);
        }
        QCOMPARE(b.Mouvements(), oks);
    }

    // --- The request file and the stock always agree ---------------------

    // The process is killed before each of its changes to the disk in turn
    // (the catalogue's and the file's). Each time the file is as the host
    // wrote it and nothing moved, or it shows the outcomes and the stock
    // moved, or the request is pending: then the host, sending it again,
    // gets the outcomes, the stock does not move twice, and no temporary
    // file is left beside the request.
    void arretBrutalAChaqueEcriture()
    {
        if (g_serveur)
            QSKIP("the catalogue file's own writes");
        {
            TBase b(m_inst->Base());
            b.Produit(0, 1, 1, 10);
            b.Produit(0, 2, 1, 4);
        }
        const QString intacte = m_inst->Racine() + "intacte.abs";
        QVERIFY(QFile::copy(m_inst->Base(), intacte));
        const QByteArray demande = Declaration + "<Kestravel>" + Ligne("Commander", 0, 1, 1, "3")
            + Ligne("Remonter", 0, 2, 1, "5") + "</Kestravel>\n";
        const QByteArray resultat =
            QByteArray(demande).replace("\"3\"/>", "\"3\" Etat=\"Ok\"/>").replace("\"5\"/>", "\"5\" Etat=\"Ok\"/>");

        bool auBout = false;
        int points = 0, enAttenteVus = 0;
        for (int n = 1; n <= 400 && !auBout; ++n) {
            for (const QString& f : Temporaires(m_inst->Racine()))
                QFile::remove(m_inst->Racine() + f);
            for (const QString& f : {m_inst->Base(), m_inst->Base() + "-wal", m_inst->Base() + "-shm"})
                QFile::remove(f);
            QVERIFY(QFile::copy(intacte, m_inst->Base()));
            EcrireFichier(m_fichier, demande);

            const auto r = LancerAvec(*m_inst, {"CONTROLE", m_inst->Ini(), m_fichier},
                                      Arret("KESTRAVEL_ARRET_ECRITURE", QString::number(n)));
            auBout = r.code != -3;
            QVERIFY2(!auBout || r.code == 0, qPrintable(r.erreurs));
            points = n;

            const QByteArray apres = Octets(m_fichier);
            bool bouge = false, enAttente = false;
            {
                TBase b(m_inst->Base());
                bouge = b.Stock(0, 1, 1) == 7;
                QCOMPARE(b.Stock(0, 1, 1), bouge ? 7 : 10);
                QCOMPARE(b.Stock(0, 2, 1), bouge ? 9 : 4);
                QCOMPARE(b.Mouvements(), bouge ? 2 : 0);
                enAttente = b.EnAttente() > 0;
            }
            const QString etape = QStringLiteral("arrêt avant l'écriture %1").arg(n);
            if (apres == resultat) {
                QVERIFY2(bouge, qPrintable(etape));
                continue;
            }
            QVERIFY2(apres == demande, qPrintable(etape));
            QVERIFY2(!bouge || enAttente, qPrintable(etape + " : stock pris sans résultat ni reprise"));
            enAttenteVus += bouge;

            // The host sends it again.
            const auto r2 = m_inst->Lancer({"CONTROLE", m_inst->Ini(), m_fichier});
            QVERIFY2(r2.code == 0, qPrintable(etape + r2.erreurs));
            QVERIFY2(Octets(m_fichier) == resultat, qPrintable(etape));
            QVERIFY2(Temporaires(m_inst->Racine()).isEmpty(), qPrintable(etape));
            TBase b(m_inst->Base());
            QCOMPARE(b.Stock(0, 1, 1), 7);
            QCOMPARE(b.Stock(0, 2, 1), 9);
            QCOMPARE(b.Mouvements(), 2);
        }
        QVERIFY(auBout);
        // The window between the commit and the renaming was hit.
        QVERIFY2(enAttenteVus > 0, qPrintable(QString::number(points)));
        qInfo("%d points d'arrêt, %d entre la validation et le renommage", points, enAttenteVus);
    }

    // Each request moves stock exactly once, whatever happens around it. A
    // request is killed at an exact point (just after its commit, or just
    // after making its temporary file), then other processes run at exact
    // points of their own (paused by the crash helper), and every product's
    // stock and movements are checked.
    void exactementUneFois_data()
    {
        QTest::addColumn<QString>("cas");
        // Sent again after a crash while another till's request finishes the
        // interrupted one: the re-send, held on the lock meanwhile, finds the
        // file answered.
        QTest::newRow("renvoi pendant une reprise") << "renvoi";
        // Two tills' byte-identical requests, the first killed after its
        // commit: two sales, and both files answered.
        QTest::newRow("demandes identiques") << "identiques";
        // Killed before its commit: nothing moved; sent again, it is applied
        // once and its stale temporary file goes, and only that one.
        QTest::newRow("arrêt avant la validation") << "temporaire";
        // Two installations of one machine on one server: a request between
        // its commit and its renaming is not the other's to finish.
        QTest::newRow("deux installations") << "installations";
        // Another till's login plants rows naming this machine, this
        // installation and a file of its own with its fingerprint: the file
        // is left alone, the sale applied.
        QTest::newRow("ligne plantée") << "plantee";
        // Outcomes large enough to be kept compressed, killed after the
        // commit: sent again, the request is answered from the catalogue.
        QTest::newRow("grande demande renvoyée") << "grande";
    }

    void exactementUneFois()
    {
        QFETCH(QString, cas);
        if ((cas == "installations" || cas == "plantee") && !g_serveur)
            QSKIP("each installation has its own catalogue file, and no login");
        {
            TBase b(m_inst->Base());
            b.Produit(0, 1, 1, 120);
            b.Produit(0, 2, 1, 50);
        }
        const QStringList controle{"CONTROLE", m_inst->Ini()};
        const QByteArray un = Declaration + "<Kestravel>" + Ligne("Commander", 0, 1, 1, "1") + "</Kestravel>\n";
        const QByteArray unFait = QByteArray(un).replace("\"1\"/>", "\"1\" Etat=\"Ok\"/>");
        const QByteArray deux = QByteArray(un).replace("IdProduit=\"1\"", "IdProduit=\"2\"");
        const QString a = m_inst->Racine() + "caisse1.xml", b = m_inst->Racine() + "caisse2.xml";
        const QString point = m_inst->Racine() + "point";
        EcrireFichier(a, un);

        if (cas == "renvoi" || cas == "identiques") {
            QCOMPARE(LancerAvec(*m_inst, controle + QStringList{a}, Arret("KESTRAVEL_ARRET_RENOMMAGE")).code, -3);
            QCOMPARE(Octets(a), un);
        }
        // The request `a` held at `pause` while `lancer` sends the other
        // product's; `aPendant` is what `a` holds meanwhile. Each sale is
        // made once and `a` ends answered.
        const auto pendantLaPause = [&](const char* pause, auto lancer, const QByteArray& aPendant) {
            QProcess premiere;
            Demarrer(premiere, *m_inst, controle + QStringList{a}, Arret(pause, point));
            QVERIFY(PauseAtteinte(point));
            EcrireFichier(b, deux);
            const auto r = lancer();
            QVERIFY2(r.code == 0, qPrintable(r.erreurs));
            QCOMPARE(Octets(a), aPendant);
            EcrireFichier(point, "");
            const auto r1 = Attendre(premiere);
            QVERIFY2(r1.code == 0, qPrintable(r1.erreurs));
            QCOMPARE(Octets(a), unFait);
            TBase base(m_inst->Base());
            QCOMPARE(base.Historique(0, 1, 1), QStringList{"120>119"});
            QCOMPARE(base.Historique(0, 2, 1), QStringList{"50>49"});
        };
        if (cas == "renvoi") {
            const auto memeInstallation = [&] { return m_inst->Lancer(controle + QStringList{b}); };
            pendantLaPause("KESTRAVEL_PAUSE_VERROU", memeInstallation, unFait);
        } else if (cas == "identiques") {
            EcrireFichier(b, un);
            const auto r = m_inst->Lancer(controle + QStringList{b});
            QVERIFY2(r.code == 0, qPrintable(r.erreurs));
            QCOMPARE(Octets(a), unFait);
            QCOMPARE(Octets(b), unFait);
            TBase base(m_inst->Base());
            QCOMPARE(base.Historique(0, 1, 1), (QStringList{"120>119", "119>118"}));
        } else if (cas == "temporaire") {
            const QStringList etrangers{".caisse1.xml.kestravel-abc", ".autre.xml.kestravel-abcdef", "caisse1.xml.kestravel-abcdef"};
            for (const QString& f : etrangers)
                EcrireFichier(m_inst->Racine() + f, "à l'hôte");
            QCOMPARE(LancerAvec(*m_inst, controle + QStringList{a}, Arret("KESTRAVEL_ARRET_TEMPORAIRE")).code, -3);
            QCOMPARE(Temporaires(m_inst->Racine()).size(), 3);
            QCOMPARE(TBase(m_inst->Base()).Historique(0, 1, 1), QStringList());
            const auto r = m_inst->Lancer(controle + QStringList{a});
            QVERIFY2(r.code == 0, qPrintable(r.erreurs));
            QCOMPARE(Octets(a), unFait);
            QCOMPARE(TBase(m_inst->Base()).Historique(0, 1, 1), QStringList{"120>119"});
            QStringList restants = Temporaires(m_inst->Racine()) << "caisse1.xml.kestravel-abcdef";
            QCOMPARE(QSet<QString>(restants.begin(), restants.end()), QSet<QString>(etrangers.begin(), etrangers.end()));
        } else if (cas == "grande") {
            QByteArray grande = Declaration + "<Kestravel>" + Ligne("Commander", 0, 1, 1, "1");
            for (int i = 0; i < 40; ++i)
                grande += Ligne("Actualiser", 0, 2, 1, "1");
            grande += "</Kestravel>\n";
            EcrireFichier(a, grande);
            QCOMPARE(LancerAvec(*m_inst, controle + QStringList{a}, Arret("KESTRAVEL_ARRET_RENOMMAGE")).code, -3);
            QCOMPARE(Octets(a), grande);
            const auto r = m_inst->Lancer(controle + QStringList{a});
            QVERIFY2(r.code == 0, qPrintable(r.erreurs));
            const QByteArray repondue = Octets(a);
            QVERIFY(repondue.size() > 4096);
            QCOMPARE(repondue.count("Etat=\"Actualiser\""), 40);
            QCOMPARE(TBase(m_inst->Base()).Historique(0, 1, 1), QStringList{"120>119"});
        } else if (cas == "plantee") {
            const QString victime = m_inst->Administration() + "victime.txt";
            EcrireFichier(victime, "à garder");
            const QString hex = QString::fromLatin1(
                QCryptographicHash::hash("à garder", QCryptographicHash::Blake2b_256).toHex());
            TConnexionPg admin(g_connexion);
            const QString intrus = "intrus_" + QString::number(QCoreApplication::applicationPid());
            const QString vente = RolesCatalogue(admin.Executer("SELECT current_database()").Texte(0, 0)).vente;
            admin.Executer(QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE %2").arg(intrus, vente));
            {
                TConnexionPg caisse(m_baseServeur->ConnexionComme(intrus));
                const QString ligne = QStringLiteral(
                    "INSERT INTO ControleEnCours (%1Poste, Installation, Chemin, Empreinte, EmpreinteResultat,"
                    " Resultat, DateMaj) VALUES (%2$1, $2, $3, decode($4, 'hex'), '', decode($5, 'hex'), '9999')");
                const QVariantList valeurs{QSysInfo::machineHostName(),
                                           QFileInfo(m_inst->Module()).canonicalFilePath() + "/Kestravel.abs-controle",
                                           QFileInfo(victime).canonicalFilePath(), hex,
                                           QString::fromLatin1(qCompress(QByteArray("écrasé")).toHex())};
                QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                                         caisse.Executer(ligne.arg("Proprietaire, ", "current_database()::name, "), valeurs));
                caisse.Executer(ligne.arg(QString(), QString()), valeurs);
            }
            const auto r = m_inst->Lancer(controle + QStringList{a});
            QVERIFY2(r.code == 0, qPrintable(r.erreurs));
            QCOMPARE(Octets(victime), QByteArray("à garder"));
            QCOMPARE(Octets(a), unFait);
            admin.Executer("DROP OWNED BY " + intrus);
            admin.Executer("DROP ROLE " + intrus);
        } else {
            TInstallation autre(false);
            EcrireEmplacementServeur(autre.Module(), ConnexionDesCaisses());
            const auto autreInstallation = [&] { return autre.Lancer({"CONTROLE", autre.Ini(), b}); };
            pendantLaPause("KESTRAVEL_PAUSE_RENOMMAGE", autreInstallation, un);
        }
    }

    // An export taken while tills sell reads one moment of the catalogue:
    // every exported product's stock is where its exported movements end.
    // The export is held once its first table is written, and a till sells
    // right then.
    void exportationPendantLesVentes()
    {
        {
            TBase b(m_inst->Base());
            for (int id = 1; id <= 3; ++id)
                b.Produit(0, id, 1, 100);
        }
        const QString dossier = m_inst->Racine() + "exports", point = m_inst->Racine() + "point";
        QDir().mkpath(dossier);
        QProcess outil;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto& [nom, valeur] : Arret("KESTRAVEL_PAUSE_RENOMMAGE", point))
            env.insert(nom, valeur);
        outil.setProcessEnvironment(env);
        outil.start(qEnvironmentVariable("KESTRAVEL_DB_BIN"),
                    (g_serveur ? QStringList{"export", "--server", g_connexion} : QStringList{"export", m_inst->Base()})
                        + QStringList{dossier, "Produit", "Transaction"});
        QVERIFY(PauseAtteinte(point));
        const auto vente = Controler(Declaration + "<Kestravel>" + Ligne("Commander", 0, 2, 1, "7") + "</Kestravel>");
        QVERIFY2(vente.code == 0, qPrintable(vente.erreurs));
        EcrireFichier(point, "");
        QVERIFY(outil.waitForFinished(60000));
        QVERIFY2(outil.exitCode() == 0, outil.readAllStandardError().constData());

        const QStringList fichiers =
            QString::fromLocal8Bit(outil.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(fichiers.size(), 2);
        // Each product's exported stock, and where its exported movements end.
        QMap<int, int> stock, fin;
        for (const auto& [fichier, colonneStock, vers] :
             {std::tuple{fichiers[0], "Stock", &stock}, std::tuple{fichiers[1], "QuantiteNew", &fin}}) {
            const TLectureCsv csv = LireCsv(Octets(fichier), 20);
            const int id = int(csv.lignes.value(0).indexOf("IdProduit")), valeur = int(csv.lignes.value(0).indexOf(colonneStock));
            QVERIFY(id >= 0 && valeur >= 0);
            for (const QByteArrayList& l : csv.lignes.mid(1))
                (*vers)[l[id].toInt()] = l[valeur].toInt();  // movements in their order: the last wins
        }
        QCOMPARE(stock, (QMap<int, int>{{1, 100}, {2, 100}, {3, 100}}));
        QCOMPARE(fin, (QMap<int, int>{}));
    }

    // The request on a full file system and on a read-only one, then the
    // catalogue on a full one: a French message that names the cause, exit
    // 1, the file as the host wrote it, nothing moved. Each case runs in its
    // own mount namespace on a small tmpfs; where mounting is not allowed the
    // file size limit of enregistrementImpossibleNeBougeRien stands in.
    void disquePleinOuLectureSeule()
    {
        if (g_serveur)
            QSKIP("the catalogue file's own writes");
        {
            TBase b(m_inst->Base());
            b.Produit(0, 1, 1, 5000);
        }
        QByteArray demande = Declaration + "<Kestravel>";
        for (int i = 0; i < 1500; ++i)
            demande += Ligne(i % 2 ? "Remonter" : "Commander", 0, 1, 1, "1");
        demande += "</Kestravel>\n";
        const QString source = m_inst->Racine() + "source.xml";
        EcrireFichier(source, demande);
        const char* const script =
            "cas=$1 d=$2 bin=$3 ini=$4 source=$5 sortie=$6\n"
            "mount -t tmpfs -o size=1m tmpfs \"$d\" || exit 99\n"
            "cp \"$source\" \"$d/demande.xml\"\n"
            "case $cas in\n"
            "plein) cat /dev/zero > \"$d/remplissage\" 2>/dev/null ;;\n"
            "lecture-seule) mount -o remount,ro \"$d\" || exit 99 ;;\n"
            "catalogue-plein)\n"
            "  m=${bin%/*}\n"
            "  cp \"$m/Kestravel.abs\" \"$d/\"\n"
            "  mount -t tmpfs -o size=$(( $(stat -c %s \"$bin\") / 1024 + 1024 ))k tmpfs \"$m\" || exit 99\n"
            "  cp \"$source.bin\" \"$bin\" && cp \"$d/Kestravel.abs\" \"$m/\" && rm \"$d/Kestravel.abs\"\n"
            "  cat /dev/zero > \"$m/remplissage\" 2>/dev/null\n"
            "  truncate -s -48K \"$m/remplissage\" ;;\n"
            "esac\n"
            "\"$bin\" CONTROLE \"$ini\" \"$d/demande.xml\"\n"
            "code=$?\n"
            "cp \"$d/demande.xml\" \"$sortie\"\n"
            "cp \"${bin%/*}/Kestravel.abs\" \"$sortie.abs\"\n"
            "cp \"${bin%/*}/Kestravel.abs-wal\" \"$sortie.abs-wal\" 2>/dev/null\n"
            "exit $code\n";
        QVERIFY(QFile::copy(m_inst->Module() + "kestravel", source + ".bin"));
        QDir().mkpath(m_inst->Racine() + "tmpfs");
        struct Cas {
            QString nom, message;
        };
        for (const Cas& c : {Cas{"plein", "Le disque est plein"}, Cas{"lecture-seule", "en lecture seule"},
                             Cas{"catalogue-plein", QString()}}) {
            const QString sortie = m_inst->Racine() + "sortie-" + c.nom + ".xml";
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove("DISPLAY");
            env.remove("QT_QPA_PLATFORM");
            p.setProcessEnvironment(env);
            const QStringList unshare = ::getuid() == 0 ? QStringList{"-m"} : QStringList{"-r", "-m"};
            p.start("unshare",
                    unshare
                        + QStringList{"sh", "-c", QString::fromUtf8(script), "sh", c.nom, m_inst->Racine() + "tmpfs",
                                      m_inst->Module() + "kestravel", m_inst->Ini(), source, sortie});
            if (!p.waitForStarted())
                QSKIP("unshare absent");
            QVERIFY(p.waitForFinished(120000));
            const QString erreurs = QString::fromLocal8Bit(p.readAllStandardError());
            if (p.exitCode() == 99 || (p.exitCode() == 1 && erreurs.contains("unshare")))
                QSKIP("pas de montage tmpfs possible ici");
            QVERIFY2(p.exitCode() == 1, qPrintable(c.nom + " : " + erreurs));
            if (!c.message.isEmpty())
                QVERIFY2(erreurs.contains(c.message), qPrintable(erreurs));
            QVERIFY(!erreurs.contains("Unknown error"));
            QCOMPARE(Octets(sortie), demande);
            TBase b(sortie + ".abs");
            QCOMPARE(b.Stock(0, 1, 1), 5000);
            QCOMPARE(b.Mouvements(), 0);
        }
    }

    // --- A save that cannot be faithful is refused before anything moves -

    void encodageQuiNePeutPasToutEcrire()
    {
        TBase(m_inst->Base()).Produit(0, 1, 1, 5);  // "Café n° 1"
        const QByteArray demande = "<?xml version=\"1.\" encoding=\"windows20127\"?><Kestravel>"
            + Ligne("Commander", 0, 1, 1, "2") + Ligne("Actualiser", 0, 1, 1, "1") + "</Kestravel>";
        const auto r = Controler(demande);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.erreurs.contains("est refusée et rien n'a été modifié"), qPrintable(r.erreurs));
        QCOMPARE(Octets(m_fichier), demande);
        TBase b(m_inst->Base());
        QCOMPARE(b.Stock(0, 1, 1), 5);
        QCOMPARE(b.Mouvements(), 0);
    }

    // --- What is written for the host -------------------------------------

    // Control characters that reached the catalogue are left out of
    // "Actualiser": the file stays well-formed.
    void caracteresInterditsLaissesDeCote()
    {
        {
            TBase b(m_inst->Base());
            b.Produit(0, 1, 1, 5);
            b.Sql("UPDATE Produit SET Libelle = ?, Description = ?",
                  {QStringLiteral("Cl\u000bé\u0001"), QStringLiteral("a\u001bb")});
        }
        const auto r = Controler(Declaration + "<Kestravel>" + Ligne("Actualiser", 0, 1, 1, "1") + "</Kestravel>");
        QVERIFY2(r.code == 0, qPrintable(r.erreurs));
        QString erreurs;
        QVERIFY2(Xmllint(m_fichier, erreurs), qPrintable(erreurs));
        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(m_fichier);
        const TXmlNodeRef p = doc.Root().FindChild("Produit");
        QCOMPARE(p.FindChild("Libelle").Text(), QString("Clé"));
        QCOMPARE(p.FindChild("Description").Text(), QString("ab"));
    }

    // Without regional settings (C/POSIX) the host gets the French forms;
    // with real ones, those. Never a month name in a short date.
    void formatsRegionauxPourLHote()
    {
        TBase(m_inst->Base()).Produit(0, 1, 1, 5);  // purchase price 10.5
        const QByteArray demande = Declaration + "<Kestravel>" + Ligne("Actualiser", 0, 1, 1, "1") + "</Kestravel>";
        struct Cas {
            QList<QPair<QString, QString>> variables;
            QString date, prix;
        };
        const QDate aujourdhui = QDate::currentDate();
        const QString anglaise =
            QLocale(QLocale::English, QLocale::UnitedStates).toString(aujourdhui, QLocale::ShortFormat);
        const QList<Cas> cas = {
            {{{"LANG", "C"}, {"LC_ALL", ""}}, aujourdhui.toString("dd/MM/yyyy"), "10,50"},
            {{{"LANG", ""}, {"LC_ALL", "POSIX"}}, aujourdhui.toString("dd/MM/yyyy"), "10,50"},
            {{{"LANG", "C.UTF-8"}, {"LC_ALL", ""}}, aujourdhui.toString("dd/MM/yyyy"), "10,50"},
            {{{"LANG", "en_US.UTF-8"}, {"LC_ALL", ""}}, anglaise, "10.50"},
        };
        for (const Cas& c : cas) {
            EcrireFichier(m_fichier, demande);
            const auto r = LancerAvec(*m_inst, {"CONTROLE", m_inst->Ini(), m_fichier}, c.variables);
            QVERIFY2(r.code == 0, qPrintable(r.erreurs));
            TXmlDoc doc("Kestravel");
            doc.LoadFromFile(m_fichier);
            const TXmlNodeRef p = doc.Root().FindChild("Produit");
            const QString date = p.ReadAttributeString("DateExport", "");
            QCOMPARE(date, c.date);
            QVERIFY2(!date.contains(QRegularExpression("[A-Za-z]")), qPrintable(date));
            QCOMPARE(p.FindChild("PrixAchatHT").Text(), c.prix);
        }
    }

    // A `Lien` that is not a plain file name is sent as no image at all.
    void lienDangereuxCommeVide()
    {
        {
            TBase b(m_inst->Base());
            b.Produit(0, 1, 1, 5, "../../../../etc/passwd");
            b.Produit(0, 2, 1, 5, "/etc/passwd");
            b.Produit(1, 3, 1, 5, "photo.jpg");
        }
        const auto r =
            Controler(Declaration + "<Kestravel>" + Ligne("Actualiser", 0, 1, 1, "1")
                      + Ligne("Actualiser", 0, 2, 1, "1") + Ligne("Actualiser", 1, 3, 1, "1") + "</Kestravel>");
        QVERIFY2(r.code == 0, qPrintable(r.erreurs));
        TXmlDoc doc("Kestravel");
        doc.LoadFromFile(m_fichier);
        TXmlNodeRefList l;
        doc.Root().ChildrenByName("Produit", l);
        QCOMPARE(l.Get(0).FindChild("Image").Text(), m_inst->Administration() + "Images/Interne/");
        QCOMPARE(l.Get(1).FindChild("Image").Text(), m_inst->Administration() + "Images/Interne/");
        QCOMPARE(l.Get(2).FindChild("Image").Text(), m_inst->Administration() + "Images/Externe/photo.jpg");
    }

    // A request written with CR LF comes back with CR LF; the lines the
    // module did not touch are byte for byte the host's.
    void finsDeLigneDeLHote()
    {
        TBase(m_inst->Base()).Produit(0, 1, 1, 5);
        const QByteArray avant =
            "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<Kestravel>\r\n"
            "<!-- commande 12 -->\r\n"
            + Ligne("Commander", 0, 1, 1, "2") + "\r\n<Note>livrer\r\nlundi</Note>\r\n"
            + Ligne("Commander", 0, 9, 1, "1") + "\r\n</Kestravel>\r\n";
        const QByteArray apres = QByteArray(avant)
                                     .replace("\"2\"/>", "\"2\" Etat=\"Ok\"/>")
                                     .replace("\"9\" IdProduitType=\"1\" Quantite=\"1\"/>",
                                              "\"9\" IdProduitType=\"1\" Quantite=\"1\" Etat=\"Supprimer\"/>");
        const auto r = Controler(avant);
        QVERIFY2(r.code == 0, qPrintable(r.erreurs));
        QCOMPARE(Octets(m_fichier), apres);
    }
};

// The whole suite on a catalogue file, then again on the server, then once
// more through PgBouncer.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int echecs = ExecuterSurLesDeuxMoteurs<TestControle>(argc, argv);
    g_regroupeur = true;
    TestControle parRegroupeur;
    return echecs + QTest::qExec(&parRegroupeur, argc, argv);
}
#include "test_controle.moc"
