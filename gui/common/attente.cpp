#include "gui/common/attente.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QProgressBar>
#include <QProgressDialog>

namespace {
const int DelaiAffichage = 500;  // ms before the window shows
}

TCurseurOccupe::TCurseurOccupe(Qt::CursorShape forme) { QGuiApplication::setOverrideCursor(QCursor(forme)); }

TCurseurOccupe::~TCurseurOccupe() { QGuiApplication::restoreOverrideCursor(); }

TFenetreAvancement::TFenetreAvancement(const QString& texte, QWidget* parent, const QString& format)
    : m_dialogue(
        std::make_unique<QProgressDialog>(texte, QStringLiteral("Annuler"), 0, format.isEmpty() ? 0 : 1, parent))
{
    m_dialogue->setObjectName("dlgAvancement");
    m_dialogue->setWindowTitle(QStringLiteral("Kestravel"));
    m_dialogue->setWindowModality(Qt::WindowModal);
    m_dialogue->setMinimumDuration(DelaiAffichage);
    m_dialogue->setAutoClose(false);
    m_dialogue->setAutoReset(false);
    if (!format.isEmpty()) {
        auto* barre = new QProgressBar(m_dialogue.get());
        barre->setObjectName("pbAvancement");
        barre->setFormat(format);
        m_dialogue->setBar(barre);
    }
    m_dialogue->setValue(0);
    m_depuis.start();
}

TFenetreAvancement::~TFenetreAvancement() = default;

bool TFenetreAvancement::Avancer(int faites, int total)
{
    if (m_dialogue->maximum() != total)
        m_dialogue->setMaximum(total);
    // Shows the window when the rest looks long, then takes the clicks.
    m_dialogue->setValue(faites);
    return !m_dialogue->wasCanceled();
}

bool TFenetreAvancement::Continuer()
{
    const qint64 ecoule = m_depuis.elapsed();
    if (ecoule < DelaiAffichage)
        return true;
    if (!m_dialogue->isVisible())
        m_dialogue->show();
    // A few turns of the event loop a second keep the window alive without
    // slowing the work.
    if (ecoule - m_dernierTour >= 50) {
        m_dernierTour = ecoule;
        QCoreApplication::processEvents();
    }
    return !m_dialogue->wasCanceled();
}
