// `kestravel`, the program the host starts: the modes without a window run
// here on the core alone; any other mode word goes, in the same process
// (same id, same arguments), to `kestravel-fenetres` beside it.

#include "app/demarrage.h"

#include <unistd.h>
#include <QCoreApplication>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
int LancerFenetres(char* argv[])
{
    char chemin[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", chemin, sizeof chemin - 1);
    std::string programme = n > 0 ? std::string(chemin, size_t(n)) : std::string(argv[0]);
    programme = programme.substr(0, programme.find_last_of('/') + 1) + "kestravel-fenetres";
    execv(programme.c_str(), argv);
    const int cause = errno;
    std::fprintf(stderr, "Erreur : impossible d'ouvrir les fenêtres de Kestravel (%s) : %s\n", programme.c_str(),
                 std::strerror(cause));
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
    _exit(code);
}
