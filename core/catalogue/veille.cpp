#include "core/catalogue/veille.h"

#include "core/serveur/notifications.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/libpq.h"

#include <QEvent>
#include <QTimer>

TVeilleCatalogue::TVeilleCatalogue(TdmKestravel& dm, QObject* parent) : QObject(parent), m_dm(dm)
{
    if (dm.SurServeur()) {
        const TConnexionPg& c = *dm.Connexion().Pg();
        m_ecoute = new TEcouteServeur(dm.ConnexionServeur(), c.Pq().backendPID(c.Handle()), this);
        connect(m_ecoute, &TEcouteServeur::changement, this, &TVeilleCatalogue::Signaler);
        return;
    }
    // The value changes whenever another connection commits to the file.
    m_version = TInstructionSql(dm.Connexion(), QByteArrayView("PRAGMA data_version"));
    Verifier();
    m_minuterie = new QTimer(this);
    m_minuterie->setInterval(Periode);
    connect(m_minuterie, &QTimer::timeout, this, &TVeilleCatalogue::Tic);
    if (parent)
        parent->installEventFilter(this);
}

bool TVeilleCatalogue::eventFilter(QObject* objet, QEvent* evenement)
{
    if (objet == parent() && (evenement->type() == QEvent::Show || evenement->type() == QEvent::Hide))
        Activer(evenement->type() == QEvent::Show);
    return QObject::eventFilter(objet, evenement);
}

TVeilleCatalogue::~TVeilleCatalogue() = default;

void TVeilleCatalogue::Activer(bool actif)
{
    if (!m_minuterie || actif == m_minuterie->isActive())
        return;
    if (!actif) {
        m_minuterie->stop();
        return;
    }
    m_minuterie->start();
    Tic();
}

bool TVeilleCatalogue::Verifier()
{
    if (!m_version.Preparee())
        return false;
    m_version.Rembobiner();
    const qint64 version = m_version.Etape() ? m_version.Entier(0) : m_derniere;
    m_version.Rembobiner();
    const bool change = m_derniere >= 0 && version != m_derniere;
    m_derniere = version;
    return change;
}

void TVeilleCatalogue::Tic()
{
    bool change = false;
    try {
        change = Verifier();
    } catch (const EKestravel&) {
        // A check that fails (the file unreachable a moment) is tried again
        // at the next tick; the windows keep what they show.
        return;
    }
    if (change)
        Signaler();
}

void TVeilleCatalogue::Signaler()
{
    // The windows read on the data module's connection: not in the middle
    // of one of its own writes (an import's load would be cut short).
    if (m_dm.Connexion().EnTransaction()) {
        QTimer::singleShot(Periode / 2, this, &TVeilleCatalogue::Signaler);
        return;
    }
    emit changement();
}
