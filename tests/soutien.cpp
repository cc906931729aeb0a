#include "tests/soutien.h"

#include "core/base/emplacement.h"
#include "core/catalogue/veille.h"
#include "core/serveur/catalogueserveur.h"
#include "core/store/dmkestravel.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"
#include "core/store/schema.h"
#include "tests/serveurtest.h"

#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QtTest>
#include <cstring>
#include <stdexcept>

void LocaleFrancaise() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

TCatalogueTest::TCatalogueTest()
{
    m_dossierChemin = m_dossier.path();
    m_chemin = m_dossier.filePath("Kestravel.abs");
    if (g_serveur) {
        m_serveur = std::make_unique<TBaseServeurTest>();
        CreerCatalogueServeur(m_serveur->Connexion());
    } else {
        CreerCatalogueVide(m_chemin);
    }
}

TCatalogueTest::~TCatalogueTest() { m_dm.reset(); }

QString TCatalogueTest::Serveur() const { return m_serveur ? m_serveur->Connexion() : QString(); }

void TCatalogueTest::Refuser(const QString& instruction, const QString& table, const QString& condition)
{
    if (!m_serveur) {
        Sql(QStringLiteral("CREATE TRIGGER refus BEFORE %1 ON %2 WHEN %3 BEGIN SELECT RAISE(ABORT, 'refus'); END")
                .arg(instruction, table, condition));
        return;
    }
    Sql(QStringLiteral("CREATE OR REPLACE FUNCTION refus() RETURNS trigger LANGUAGE plpgsql"
                       " AS 'BEGIN RAISE EXCEPTION ''refus''; END'"));
    Sql(QStringLiteral("CREATE TRIGGER refus BEFORE %1 ON %2 FOR EACH ROW WHEN (%3) EXECUTE FUNCTION refus()")
            .arg(instruction, table, condition));
}

void TCatalogueTest::Accepter(const QString& table)
{
    Sql(m_serveur ? QStringLiteral("DROP TRIGGER refus ON ") + table : QStringLiteral("DROP TRIGGER refus"));
}

TdmKestravel& TCatalogueTest::Dm()
{
    if (!m_dm)
        m_dm = m_serveur ? std::make_unique<TdmKestravel>(m_serveur->Connexion(), TdmKestravel::Serveur::Oui)
                         : std::make_unique<TdmKestravel>(m_chemin);
    return *m_dm;
}

void TCatalogueTest::FermerDm() { m_dm.reset(); }

std::unique_ptr<TdmKestravel> TCatalogueTest::AutreConnexion() const
{
    return m_serveur ? std::make_unique<TdmKestravel>(m_serveur->Connexion(), TdmKestravel::Serveur::Oui)
                     : std::make_unique<TdmKestravel>(m_chemin);
}

void TCatalogueTest::Sql(const QString& sql, const QVariantList& valeurs)
{
    if (valeurs.isEmpty() && !sql.contains('?')) {
        Dm().Connexion().Executer(sql);
        return;
    }
    TInstructionSql q(Dm().Connexion(), sql);
    q.Lier(valeurs);
    q.Executer();
}

int TCatalogueTest::Entier(const QString& sql, const QVariantList& valeurs)
{
    TInstructionSql q(Dm().Connexion(), sql);
    q.Lier(valeurs);
    return q.Etape() ? int(q.Entier(0)) : -1;
}

TInstallation::TInstallation(bool avecCatalogue)
{
    QDir().mkpath(Module());
    QDir().mkpath(Administration());
    // The program the host starts and the windows it hands over to.
    const QString binaire = qEnvironmentVariable("KESTRAVEL_BIN");
    for (const QString& programme : {binaire, QFileInfo(binaire).dir().filePath("kestravel-fenetres")}) {
        const QString copie = Module() + QFileInfo(programme).fileName();
        if (binaire.isEmpty() || !QFile::copy(programme, copie))
            throw std::runtime_error("KESTRAVEL_BIN introuvable");
        QFile::setPermissions(copie, QFile::permissions(programme));
    }
    if (avecCatalogue && g_serveur) {
        m_serveur = std::make_unique<TBaseServeurTest>();
        CreerCatalogueServeur(m_serveur->Connexion());
        EcrireEmplacementServeur(Module(), m_serveur->Connexion());
    } else if (avecCatalogue) {
        CreerCatalogueVide(Base());
    }
    EcrireIni(QStringLiteral("[General]\r\nVersion=1\r\nAdministration=%1\r\n").arg(Administration()));
}

TInstallation::~TInstallation() = default;

std::unique_ptr<TdmKestravel> TInstallation::Catalogue() const
{
    return m_serveur ? std::make_unique<TdmKestravel>(m_serveur->Connexion(), TdmKestravel::Serveur::Oui)
                     : std::make_unique<TdmKestravel>(Base());
}

void TInstallation::EcrireIni(const QString& contenu) { EcrireFichier(Ini(), contenu.toUtf8()); }

TInstallation::Resultat TInstallation::Lancer(const QStringList& arguments, int delaiMs) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    env.insert("LANG", "fr_FR.UTF-8");
    env.insert("LC_ALL", "fr_FR.UTF-8");
    p.setProcessEnvironment(env);
    p.start(Module() + "kestravel", arguments);
    Resultat r;
    if (!p.waitForFinished(delaiMs)) {
        p.kill();
        p.waitForFinished();
        r.code = -2;
    } else {
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
    }
    r.sortie = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.erreurs = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QList<QPair<QString, QString>> VariablesPrechargement(const QString& module)
{
    QString asan = qEnvironmentVariable("ASAN_OPTIONS");
    if (!asan.isEmpty())
        asan += ':';
    asan += QStringLiteral("verify_asan_link_order=0");
    return {{"LD_PRELOAD", module}, {"ASAN_OPTIONS", asan}};
}

QString LireFichier(const QString& chemin)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

void EcrireFichier(const QString& chemin, const QByteArray& contenu)
{
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("écriture impossible");
    f.write(contenu);
}

TCompteurInstructions::TCompteurInstructions(sqlite3* base, const char* fragment) : m_base(base), m_fragment(fragment)
{
    if (m_base)
        sqlite3_trace_v2(m_base, SQLITE_TRACE_STMT, &TCompteurInstructions::Trace, this);
}

TCompteurInstructions::~TCompteurInstructions()
{
    if (m_base)
        sqlite3_trace_v2(m_base, 0, nullptr, nullptr);
}

int TCompteurInstructions::Trace(unsigned, void* moi, void* instruction, void*)
{
    auto* compteur = static_cast<TCompteurInstructions*>(moi);
    const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(instruction));
    if (sql && std::strstr(sql, compteur->m_fragment))
        ++compteur->m_nombre;
    return 0;
}

bool AttendreIndexRecherche(QWidget* fenetre)
{
    const auto* champ = fenetre->findChild<QLineEdit*>("edtRecherche");
    const bool construit = champ && QTest::qWaitFor([&] {
        return !champ->placeholderText().startsWith(QLatin1String("Index de recherche en construction"));
    });
    QTest::qWait(TVeilleCatalogue::Periode + 100);
    return construit;
}
