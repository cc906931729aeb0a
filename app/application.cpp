#include "app/application.h"

#include "app/prompts.h"
#include "store/echecs.h"
#include "store/erreurs.h"

#include <QWidget>
#include <new>

namespace {
const QString ErreurInattendue =
    QStringLiteral("Une erreur inattendue a interrompu l'opération ; les modifications déjà enregistrées sont "
                   "conservées.");
}

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

void AfficherExceptionCourante()
{
    try {
        throw;
    } catch (const EKestravel& e) {
        Prompts().Erreur(e.Message());
    } catch (const std::bad_alloc&) {
        Prompts().Erreur(PhraseCatalogue(TCauseEchec::Memoire));
    } catch (const std::exception& e) {
        // Our own errors are French already; anything else is the library's
        // English, kept as the detail of a French sentence.
        Prompts().Erreur(ComposerMessage(QString(), ErreurInattendue, QString::fromLocal8Bit(e.what())));
    } catch (...) {
        Prompts().Erreur(ErreurInattendue);
    }
}
