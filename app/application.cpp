#include "app/application.h"

#include "app/prompts.h"
#include "store/erreurs.h"

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
    } catch (const std::exception& e) {
        Prompts().Erreur(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        Prompts().Erreur(QString());
    }
}
