#include "gui/common/indexcatalogue.h"

#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/indexannexes.h"
#include "gui/common/attente.h"

#include <QCoreApplication>
#include <QProgressDialog>

bool PreparerIndexCatalogue(TdmKestravel& dm, QWidget* fenetre)
{
    try {
        if (IndexAnnexesInstalles(dm.Connexion()))
            return true;
        // One statement per index, without steps to report: the box is
        // shown before the work starts, so the window is not seen frozen.
        QProgressDialog attente(QStringLiteral("Préparation des index du catalogue…"), QString(), 0, 0, fenetre);
        attente.setWindowTitle(QStringLiteral("Catalogue"));
        attente.setWindowModality(Qt::WindowModal);
        attente.setMinimumDuration(0);
        attente.setValue(0);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const TCurseurOccupe occupe;
        return InstallerIndexAnnexes(dm.Connexion());
    } catch (const EKestravel&) {
        return false;
    }
}
