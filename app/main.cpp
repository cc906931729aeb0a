// `kestravel`, the program the host starts: the modes without a window run
// here on the core alone; any other mode word goes, in the same process
// (same id, same arguments), to `kestravel-fenetres` beside it.

#include "app/demarrage.h"
#include "core/base/systeme.h"

#include <QFile>
#include <QStringList>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
int LancerFenetres(char* argv[])
{
    const QString programme = DossierProgramme(QFile::decodeName(argv[0])) + "/kestravel-fenetres";
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
    // These modes run no event loop and need nothing an application object
    // sets up but the system's regional settings, taken here as it takes
    // them: a sale is a process the host waits for, and the object was half
    // a millisecond of it.
    std::setlocale(LC_ALL, "");
    ChoisirFormatsRegionaux();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const int code = Executer(arguments, nullptr);
    // Everything is written and closed by now; the libraries' teardown
    // would only keep the host waiting longer.
    std::fflush(nullptr);
    std::_Exit(code);
}
