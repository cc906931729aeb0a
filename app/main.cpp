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
    QCoreApplication app(argc, argv);
    return Executer(QCoreApplication::arguments(), nullptr);
}
