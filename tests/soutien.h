#pragma once
// Shared test fixtures: real catalogue files in temporary folders and a
// temporary installation tree in which the real binary runs.

#include <QPair>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class QWidget;
class TdmKestravel;
struct sqlite3;

// Pins the French locale, as the users have it.
void LocaleFrancaise();

class TBaseServeurTest;

// A window opened on a catalogue without a search index builds it in the
// background, on a connection of its own whose commits the window's change
// check sees: waits until it is built and taken in, so that what follows
// starts while nobody changes the catalogue. False when it is not built.
bool AttendreIndexRecherche(QWidget* fenetre);

// Counts the statements SQLite runs on a catalogue file's connection whose
// text contains `fragment` (on a server's connection, none are counted).
class TCompteurInstructions {
public:
    TCompteurInstructions(sqlite3* base, const char* fragment);
    ~TCompteurInstructions();
    TCompteurInstructions(const TCompteurInstructions&) = delete;
    TCompteurInstructions& operator=(const TCompteurInstructions&) = delete;
    int Nombre() const { return m_nombre; }

private:
    static int Trace(unsigned, void* moi, void* instruction, void*);
    sqlite3* m_base;
    const char* m_fragment;
    int m_nombre = 0;
};

// A fresh empty catalogue in its own temporary folder: a file, or, while a
// suite runs on the server (serveurtest.h), a database of its own there.
class TCatalogueTest {
public:
    TCatalogueTest();
    ~TCatalogueTest();
    // The server database's connection string (empty for a file).
    QString Serveur() const;
    const QString& Chemin() const { return m_chemin; }
    const QString& Dossier() const { return m_dossierChemin; }
    // Opens the data module on it (kept by this object).
    TdmKestravel& Dm();
    void FermerDm();
    // A second data module on the same catalogue, as another process has.
    std::unique_ptr<TdmKestravel> AutreConnexion() const;
    // Runs SQL on the catalogue through the data module.
    void Sql(const QString& sql, const QVariantList& valeurs = {});
    int Entier(const QString& sql, const QVariantList& valeurs = {});
    // A database failure on demand, on either engine: every `instruction`
    // ("INSERT", "UPDATE") on `table` of a row meeting `condition` (on NEW)
    // fails, until Accepter().
    void Refuser(const QString& instruction, const QString& table, const QString& condition);
    void Accepter(const QString& table);

private:
    QTemporaryDir m_dossier;
    QString m_dossierChemin, m_chemin;
    std::unique_ptr<TBaseServeurTest> m_serveur;
    std::unique_ptr<TdmKestravel> m_dm;
};

// A temporary installation: Modules/Kestravel/kestravel + its catalogue,
// Administration/ and a settings file. While a suite runs on the server
// (serveurtest.h) the catalogue is a database of its own there, named by
// the installation's Kestravel.conf.
class TInstallation {
public:
    explicit TInstallation(bool avecCatalogue = true);
    ~TInstallation();
    // Opens the data module on the installation's catalogue.
    std::unique_ptr<TdmKestravel> Catalogue() const;
    QString Racine() const { return m_dossier.path() + "/"; }
    QString Module() const { return Racine() + "Modules/Kestravel/"; }
    QString Base() const { return Module() + "Kestravel.abs"; }
    QString Administration() const { return Racine() + "Administration/"; }
    QString Ini() const { return Racine() + "Kestravel.ini"; }
    void EcrireIni(const QString& contenu);

    struct Resultat {
        int code = -1;
        QString sortie, erreurs;
    };
    // Runs the installed binary with these arguments (no screen: messages on
    // standard error).
    Resultat Lancer(const QStringList& arguments, int delaiMs = 60000) const;

private:
    QTemporaryDir m_dossier;
    std::unique_ptr<TBaseServeurTest> m_serveur;
};

// The variables that load `module` into a child process with LD_PRELOAD.
// In a sanitizer build the module then comes before the sanitizer's runtime,
// which the runtime refuses unless told to accept it.
QList<QPair<QString, QString>> VariablesPrechargement(const QString& module);

QString LireFichier(const QString& chemin);
void EcrireFichier(const QString& chemin, const QByteArray& contenu);
