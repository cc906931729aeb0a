#pragma once
// A database of its own on the run's private PostgreSQL server (started by
// the `serveur_pg` test fixture, named by KESTRAVEL_PG), dropped afterwards.

#include <QCoreApplication>
#include <QString>
#include <QtTest>

class TBaseServeurTest {
public:
    TBaseServeurTest();
    ~TBaseServeurTest();
    TBaseServeurTest(const TBaseServeurTest&) = delete;
    TBaseServeurTest& operator=(const TBaseServeurTest&) = delete;
    // The connection string of the database (its owner: the server's superuser).
    const QString& Connexion() const { return m_connexion; }
    // The same database, logged in as `role`.
    QString ConnexionComme(const QString& role) const;

private:
    QString m_nom, m_connexion;
};

// The connection string of the private server's administration database.
QString ServeurTest();

// Suites that run on both engines: false while the suite runs on catalogue
// files, true while it runs again on the private server.
extern bool g_serveur;

// Runs the suite `T` on files, then on the server (the test's main).
template <class T>
int ExecuterSurLesDeuxMoteurs(int argc, char* argv[])
{
    int echecs = 0;
    for (const bool serveur : {false, true}) {
        g_serveur = serveur;
        T suite;
        echecs += QTest::qExec(&suite, argc, argv);
    }
    return echecs;
}
