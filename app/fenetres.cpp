// `kestravel-fenetres`: the windowed modes (`CONFIG`, `VOIR`), started by
// `kestravel` in its own process. Without a screen it behaves as the core
// program does: messages on standard error, exit status 1.

#include "app/demarrage.h"
#include "gui/admin/ficheparametreproduit.h"
#include "gui/common/application.h"
#include "gui/common/promptsqt.h"
#include "gui/common/traductions.h"
#include "gui/viewer/ficheproduitliste.h"

#include <cstdio>
#include <memory>

namespace {
// A screen is there when a display is named or a Qt platform is forced.
bool EcranPossible()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int OuvrirFenetre(TApplication& app, TdmKestravel& dm, const QStringList& args)
{
    std::unique_ptr<QWidget> principale;
    if (args.value(1).compare("CONFIG", Qt::CaseInsensitive) == 0) {
        principale = std::make_unique<TFicheParametreProduit>(dm);
    } else {
        auto liste = std::make_unique<TFicheProduitListe>(dm);
        liste->SetFichierExport(args.value(3));
        principale = std::move(liste);
    }
    principale->show();
    // The new window takes the keyboard, also where no window manager gives it.
    principale->activateWindow();
    const int code = app.exec();
    return (code != 0 || app.ErreurSurvenue()) ? 1 : 0;
}
}  // namespace

int main(int argc, char* argv[])
{
    ChoisirFormatsRegionaux();
    // The mode is decided before the application object exists.
    if (ModeSansFenetre(argc, argv) || !EcranPossible()) {
        QCoreApplication noyau(argc, argv);
        return Executer(QCoreApplication::arguments(), nullptr);
    }
    TApplication app(argc, argv);
    static TPromptsQt dialogues;
    if (EcranDisponible())
        SetPromptsParDefaut(&dialogues);
    const QString avertissement = ChargerTraductionsQt();
    if (!avertissement.isEmpty())
        std::fprintf(stderr, "%s\n", avertissement.toLocal8Bit().constData());
    return Executer(QCoreApplication::arguments(),
                    [&app](TdmKestravel& dm, const QStringList& args) { return OuvrirFenetre(app, dm, args); });
}
