#include "core/serveur/notifications.h"

#include "core/store/erreurs.h"
#include "core/store/libpq.h"

#include <QSocketNotifier>
#include <QTimer>

namespace {
// Notifications of one burst (a till's request writes several tables)
// give one change.
constexpr int DelaiRegroupement = 150;
constexpr int DelaiReconnexion = 5000;

const char* const Tables[] = {"Produit", "ProduitType", "ProduitCarac", "ProduitTypeCarac", "\"Transaction\""};
}  // namespace

void InstallerNotifications(TConnexionPg& c)
{
    // One notification per statement, not per row: a bulk load sends one.
    // The server merges equal notifications of one transaction.
    c.Executer(QStringLiteral("CREATE OR REPLACE FUNCTION kestravel_notifier() RETURNS trigger LANGUAGE plpgsql AS"
                              " $$ BEGIN PERFORM pg_notify('%1', TG_TABLE_NAME); RETURN NULL; END $$")
                   .arg(CanalCatalogue));
    for (const char* table : Tables) {
        c.Executer(QStringLiteral("DROP TRIGGER IF EXISTS kestravel_notifier ON %1").arg(table));
        c.Executer(QStringLiteral("CREATE TRIGGER kestravel_notifier AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE"
                                  " ON %1 FOR EACH STATEMENT EXECUTE FUNCTION kestravel_notifier()")
                       .arg(table));
    }
}

TEcouteServeur::TEcouteServeur(const QString& connexion, int ignore, QObject* parent)
    : QObject(parent), m_connexion(connexion), m_ignore(ignore), m_regroupement(new QTimer(this))
{
    m_regroupement->setSingleShot(true);
    m_regroupement->setInterval(DelaiRegroupement);
    connect(m_regroupement, &QTimer::timeout, this, &TEcouteServeur::changement);
    Connecter();
}

TEcouteServeur::~TEcouteServeur() = default;

void TEcouteServeur::Connecter()
{
    try {
        m_c = std::make_unique<TConnexionPg>(m_connexion);
        m_c->Executer(QStringLiteral("LISTEN %1").arg(CanalCatalogue));
    } catch (const EKestravel&) {
        // The windows go on with what they show; another try later.
        m_c.reset();
        QTimer::singleShot(DelaiReconnexion, this, &TEcouteServeur::Connecter);
        return;
    }
    m_socket = new QSocketNotifier(qintptr(m_c->Pq().socket(m_c->Handle())), QSocketNotifier::Read, this);
    connect(m_socket, &QSocketNotifier::activated, this, &TEcouteServeur::Lire);
}

void TEcouteServeur::Lire()
{
    PGconn* c = m_c->Handle();
    if (!m_c->Pq().consumeInput(c)) {
        Perdue();
        return;
    }
    bool autre = false;
    while (PGnotify* n = m_c->Pq().notifies(c)) {
        autre = autre || n->be_pid != m_ignore;
        m_c->Pq().freemem(n);
    }
    if (autre && !m_regroupement->isActive())
        m_regroupement->start();
}

void TEcouteServeur::Perdue()
{
    delete m_socket;
    m_socket = nullptr;
    m_c.reset();
    emit changement();
    QTimer::singleShot(DelaiReconnexion, this, &TEcouteServeur::Connecter);
}
