// `kestravel`, the program the host starts: the modes without a window run
// here on the core alone; any other mode word goes, in the same process
// (same id, same arguments), to `kestravel-fenetres` beside it.

#include "app/demarrage.h"
#include "core/base/systeme.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
int LancerFenetres(char* argv[])
{
    QString programme = Systeme::CheminProgramme();
    if (programme.isEmpty())
        programme = QFile::decodeName(argv[0]);
    programme = QFileInfo(programme).path() + "/kestravel-fenetres";
    // The windows build tens of thousands of small objects at start (the
    // category tree of a big catalogue): with the allocator's heap in large
    // pages, grown 16 MB at a time rather than a few pages, they start with
    // half the page faults. The host's own allocator settings, if any, are
    // left as they are.
    if (qEnvironmentVariableIsEmpty("GLIBC_TUNABLES"))
        qputenv("GLIBC_TUNABLES", "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=16777216");
    const int cause = Systeme::Remplacer(programme, argv);
    std::fprintf(stderr, "Erreur : impossible d'ouvrir les fenêtres de Kestravel (%s) : %s\n",
                 QFile::encodeName(programme).constData(), std::strerror(cause));
    return 1;
}
}  // namespace

int main(int argc, char* argv[])
{
    if (!ModeSansFenetre(argc, argv))
        return LancerFenetres(argv);
    ChoisirFormatsRegionaux();
    // These modes run no event loop worth GLib's: Qt's own dispatcher is
    // quicker to set up, and the host waits for a sale's whole process.
    qputenv("QT_NO_GLIB", "1");
    const int code = [&] {
        QCoreApplication app(argc, argv);
        return Executer(QCoreApplication::arguments(), nullptr);
    }();
    // Everything is written and closed by now; the libraries' teardown
    // would only keep the host waiting longer.
    std::fflush(nullptr);
    std::_Exit(code);
}
