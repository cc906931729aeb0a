#include "tests/serveurtest.h"

#include "core/store/libpq.h"

#include <QUuid>
#include <stdexcept>

bool g_serveur = false;

QString ServeurTest()
{
    const QString s = qEnvironmentVariable("KESTRAVEL_PG");
    if (s.isEmpty())
        throw std::runtime_error("KESTRAVEL_PG absent : le serveur PostgreSQL de test n'est pas démarré");
    return s;
}

TBaseServeurTest::TBaseServeurTest() : m_nom("kt_" + QUuid::createUuid().toString(QUuid::Id128).left(16))
{
    TConnexionPg admin(ServeurTest());
    admin.Executer("CREATE DATABASE " + m_nom);
    m_connexion = ServeurTest().replace("dbname=postgres", "dbname=" + m_nom);
}

TBaseServeurTest::~TBaseServeurTest()
{
    try {
        TConnexionPg admin(ServeurTest());
        admin.Executer("DROP DATABASE IF EXISTS " + m_nom + " WITH (FORCE)");
    } catch (...) {
        // The server is stopped at the end of the run anyway.
    }
}

QString TBaseServeurTest::ConnexionComme(const QString& role) const
{
    return QString(m_connexion).replace("user=postgres", "user=" + role);
}
