#include "app/application.h"

#include "app/prompts.h"
#include "store/echecs.h"
#include "store/erreurs.h"

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
        return QApplication::notify(cible, evenement);
    } catch (...) {
        m_erreur = true;
        AfficherExceptionCourante();
    }
    return false;
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
