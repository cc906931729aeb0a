#pragma once
// A database of its own on the run's private PostgreSQL server (started by
// the `serveur_pg` test fixture, named by KESTRAVEL_PG), dropped afterwards.

#include <QString>

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
