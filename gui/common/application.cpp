#include "gui/common/application.h"

#include "core/base/prompts.h"

#include <QWidget>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* cible, QEvent* evenement)
{
    try {
        const bool resultat = QApplication::notify(cible, evenement);
        if (evenement->type() == QEvent::Hide && cible->isWidgetType())
            RendreLaMain(static_cast<QWidget*>(cible));
        return resultat;
    } catch (...) {
        m_erreur = true;
        AfficherExceptionCourante();
    }
    return false;
}

void TApplication::RendreLaMain(QWidget* fermee)
{
    // A closed dialog gives the keyboard back to the window that opened it.
    // Window managers do this; without one (a bare X server) nothing would.
    if (!fermee->isWindow() || fermee->windowType() == Qt::Popup || fermee->windowType() == Qt::ToolTip
        || !fermee->parentWidget())
        return;
    QWidget* proprietaire = fermee->parentWidget()->window();
    if (proprietaire->isVisible() && (!activeWindow() || activeWindow() == fermee))
        proprietaire->activateWindow();
}
