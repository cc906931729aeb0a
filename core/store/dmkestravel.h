#pragma once
// The data module: one connection to the catalogue (its file, or its
// server) and the table cursors shared by every window and mode for the
// whole run.

#include "core/store/basesql.h"
#include "core/store/curseur.h"

#include <QString>

struct sqlite3;

// The catalogue file at `chemin` on the statement layer alone, without the
// data module's cursors: opened read-write (never created), journal shared
// with the suite's other processes, schema brought up to date. Throws
// EDatabaseError naming the file.
TBaseSql OuvrirCatalogue(const QString& chemin);
// The same for the catalogue on the server named by `connexion`: its
// schema version checked (a newer one refused, nothing written).
TBaseSql OuvrirCatalogueServeur(const QString& connexion);

class TdmKestravel {
public:
    // Opens the catalogue file at `cheminBase` (never creates it) and the five
    // main cursors. Throws EDatabaseError when the file cannot be opened.
    explicit TdmKestravel(const QString& cheminBase);
    // The catalogue on the PostgreSQL server named by `connexion` (a libpq
    // string or URI); throws EDatabaseError naming the server when it
    // cannot be reached or holds no catalogue.
    enum class Serveur { Oui };
    TdmKestravel(const QString& connexion, Serveur);
    ~TdmKestravel();
    TdmKestravel(const TdmKestravel&) = delete;
    TdmKestravel& operator=(const TdmKestravel&) = delete;

    // The catalogue file's path (empty on a server), the server's
    // connection string (empty for a file).
    const QString& CheminBase() const { return m_chemin; }
    const QString& ConnexionServeur() const { return m_serveur; }
    bool SurServeur() const { return !m_serveur.isEmpty(); }
    // How messages name the catalogue: its file's path, or its server.
    QString NomCatalogue() const;
    // The connection, for statements (basesql.h).
    const TBaseSql& Connexion() const { return m_base; }
    // The engine's own handle, for tests that watch or hold up the engine.
    sqlite3* Handle() const { return m_base.Handle(); }

    void DataModuleCreate();  // opens the five main cursors
    void DataModuleDestroy();  // closes them, in their fixed order

    // Closes the connection and reopens it on another file (synchronisation).
    void Rouvrir(const QString& cheminBase);

    TCurseur tblProduit;
    TCurseur tblProduitType;
    TCurseur tblProduitCarac;
    TCurseur tblProduitTypeCarac;
    TCurseur tblTransaction;
    TCurseur tblProduitCaracIndexTriCarac;
    TCurseur tblProduitCaracIndexTriProduit;
    TCurseur tblProduitCaracIndexTriEnsemble;

private:
    TdmKestravel(const QString& cheminBase, const QString& serveur);
    void Ouvrir(const QString& cheminBase);
    void Fermer();
    TCurseur* Curseurs(int i);

    QString m_chemin;
    QString m_serveur;
    TBaseSql m_base;
};
