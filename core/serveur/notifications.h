#pragma once
// A server catalogue tells the windows open on it that another workstation
// changed it: every write to the catalogue's tables notifies the channel
// below when it commits (a trigger per table, whoever writes: a till's sale,
// an office's edit, an import). A listening connection receives it on its
// socket; nothing is polled.

#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;
class QTimer;
class TConnexionPg;

inline constexpr const char* CanalCatalogue = "kestravel_catalogue";

// Creates the notifying function and the tables' triggers, in the caller's
// transaction (with the tables).
void InstallerNotifications(TConnexionPg& c);

// A connection of its own that listens to the catalogue's channel and
// signals `changement` once for a burst of notifications. A connection
// lost is opened again a few seconds later (and reported as a change,
// since notifications may have been missed meanwhile).
class TEcouteServeur : public QObject {
    Q_OBJECT
public:
    // `ignore`: the server process of the caller's own connection, whose
    // writes its windows show already.
    TEcouteServeur(const QString& connexion, int ignore, QObject* parent = nullptr);
    ~TEcouteServeur() override;

signals:
    void changement();

private:
    void Connecter();
    void Lire();
    void Perdue();

    QString m_connexion;
    int m_ignore;
    std::unique_ptr<TConnexionPg> m_c;
    QSocketNotifier* m_socket = nullptr;
    QTimer* m_regroupement;
};
