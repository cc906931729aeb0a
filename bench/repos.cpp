// Ends a windowed program as soon as its first window is painted and its
// event loop goes idle, for the start-up benchmark (bench_demarrage): loaded
// with LD_PRELOAD, so the program itself carries no benchmark hook. Inert
// unless KESTRAVEL_REPOS is set. Qt Core only: the program's own libraries
// decide what it loads.

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <cstdio>
#include <cstdlib>

namespace {
class TGuetteur : public QObject {
public:
    bool eventFilter(QObject* objet, QEvent* evenement) override
    {
        if (evenement->type() == QEvent::Paint || evenement->type() == QEvent::Expose)
            m_peinte = true;
        return QObject::eventFilter(objet, evenement);
    }
    void AuRepos()
    {
        if (!m_peinte)
            return;
        std::fflush(nullptr);
        std::_Exit(0);
    }

private:
    bool m_peinte = false;
};

void Demarrer()
{
    if (qEnvironmentVariableIsEmpty("KESTRAVEL_REPOS") || !QAbstractEventDispatcher::instance())
        return;
    auto* guetteur = new TGuetteur;
    QCoreApplication::instance()->installEventFilter(guetteur);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, guetteur,
                     [guetteur] { guetteur->AuRepos(); });
}
}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Demarrer)
