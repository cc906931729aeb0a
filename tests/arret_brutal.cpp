// Kills the process with SIGKILL just before its N-th change to the disk, as
// a power switch or `kill -9` would: loaded with LD_PRELOAD into the real
// binary by the crash tests, so the program carries no test hook. Inert
// unless one of these variables is set:
//
//  KESTRAVEL_ARRET_ECRITURE=N    killed before the N-th change, counting
//      writes to regular files, flushes, truncations, renames and removals,
//      whoever makes them (the program, SQLite, Qt);
//  KESTRAVEL_ARRET_RENOMMAGE=1   killed before the first rename (for a
//      request: just after its commit);
//  KESTRAVEL_ARRET_TEMPORAIRE=1  killed just after making a temporary file
//      (for a request: before its commit);
//  KESTRAVEL_PAUSE_VERROU=F      on taking a file lock, and
//  KESTRAVEL_PAUSE_RENOMMAGE=F   before the first rename: the process makes
//      the file F.atteint, then waits until the file F exists, so that a
//      test runs another process at that exact point.

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>
#include <sys/file.h>
#include <cstdarg>
#include <cstdio>
#include <utility>
#include <cstdlib>

namespace {
long Limite()
{
    static const long limite = [] {
        const char* v = std::getenv("KESTRAVEL_ARRET_ECRITURE");
        return v ? std::atol(v) : 0L;
    }();
    return limite;
}

void Compter()
{
    static long n = 0;
    if (Limite() > 0 && ++n >= Limite())
        ::kill(::getpid(), SIGKILL);
}

void CompterFichier(int fd)
{
    struct stat st {};
    if (Limite() > 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        Compter();
}

// The point named by `variable` is reached: a test waits for it (see above).
void Pause(const char* variable)
{
    const char* f = std::getenv(variable);
    if (!f || !*f)
        return;
    char atteint[4096];
    std::snprintf(atteint, sizeof atteint, "%s.atteint", f);
    const int fd = ::open(atteint, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
    while (::access(f, F_OK) != 0)
        ::usleep(2000);
}

bool Active(const char* variable)
{
    const char* v = std::getenv(variable);
    return v && *v;
}

template <typename F>
F Suivante(const char* nom)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, nom));
}
}  // namespace

extern "C" {
ssize_t write(int fd, const void* b, size_t n)
{
    static auto suite = Suivante<ssize_t (*)(int, const void*, size_t)>("write");
    CompterFichier(fd);
    return suite(fd, b, n);
}

ssize_t pwrite(int fd, const void* b, size_t n, off_t o)
{
    static auto suite = Suivante<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    CompterFichier(fd);
    return suite(fd, b, n, o);
}

ssize_t pwrite64(int fd, const void* b, size_t n, off64_t o)
{
    static auto suite = Suivante<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
    CompterFichier(fd);
    return suite(fd, b, n, o);
}

ssize_t writev(int fd, const struct iovec* v, int n)
{
    static auto suite = Suivante<ssize_t (*)(int, const struct iovec*, int)>("writev");
    CompterFichier(fd);
    return suite(fd, v, n);
}

int fsync(int fd)
{
    static auto suite = Suivante<int (*)(int)>("fsync");
    Compter();
    return suite(fd);
}

int fdatasync(int fd)
{
    static auto suite = Suivante<int (*)(int)>("fdatasync");
    Compter();
    return suite(fd);
}

int ftruncate(int fd, off_t l)
{
    static auto suite = Suivante<int (*)(int, off_t)>("ftruncate");
    CompterFichier(fd);
    return suite(fd, l);
}

int ftruncate64(int fd, off64_t l)
{
    static auto suite = Suivante<int (*)(int, off64_t)>("ftruncate64");
    CompterFichier(fd);
    return suite(fd, l);
}

// The first rename of the process, whichever call makes it (Qt's saved
// files may link a nameless temporary file into place).
void Renommage()
{
    static bool premier = true;
    if (!std::exchange(premier, false))
        return;
    if (Active("KESTRAVEL_ARRET_RENOMMAGE"))
        ::kill(::getpid(), SIGKILL);
    Pause("KESTRAVEL_PAUSE_RENOMMAGE");
}

int rename(const char* de, const char* vers)
{
    static auto suite = Suivante<int (*)(const char*, const char*)>("rename");
    Renommage();
    Compter();
    return suite(de, vers);
}

int renameat(int d1, const char* de, int d2, const char* vers)
{
    static auto suite = Suivante<int (*)(int, const char*, int, const char*)>("renameat");
    Renommage();
    Compter();
    return suite(d1, de, d2, vers);
}

int renameat2(int d1, const char* de, int d2, const char* vers, unsigned int drapeaux)
{
    static auto suite = Suivante<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
    Renommage();
    Compter();
    return suite(d1, de, d2, vers, drapeaux);
}

int linkat(int d1, const char* de, int d2, const char* vers, int drapeaux)
{
    static auto suite = Suivante<int (*)(int, const char*, int, const char*, int)>("linkat");
    Renommage();
    Compter();
    return suite(d1, de, d2, vers, drapeaux);
}

int flock(int fd, int operation)
{
    static auto suite = Suivante<int (*)(int, int)>("flock");
    if (operation & LOCK_EX)
        Pause("KESTRAVEL_PAUSE_VERROU");
    return suite(fd, operation);
}

int mkostemp(char* modele, int drapeaux)
{
    static auto suite = Suivante<int (*)(char*, int)>("mkostemp");
    const int fd = suite(modele, drapeaux);
    if (fd >= 0 && Active("KESTRAVEL_ARRET_TEMPORAIRE"))
        ::kill(::getpid(), SIGKILL);
    return fd;
}

int unlink(const char* chemin)
{
    static auto suite = Suivante<int (*)(const char*)>("unlink");
    Compter();
    return suite(chemin);
}

int unlinkat(int d, const char* chemin, int drapeaux)
{
    static auto suite = Suivante<int (*)(int, const char*, int)>("unlinkat");
    Compter();
    return suite(d, chemin, drapeaux);
}
}
