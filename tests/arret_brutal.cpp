// Kills the process with SIGKILL just before its N-th change to the disk, as
// a power switch or `kill -9` would: loaded with LD_PRELOAD into the real
// binary by the crash test, so the program carries no test hook. Inert
// unless KESTRAVEL_ARRET_ECRITURE holds N.
//
// Counted: writes to regular files, flushes, truncations, renames and
// removals, whoever makes them (the program, SQLite, Qt).

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>
#include <cstdarg>
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

int rename(const char* de, const char* vers)
{
    static auto suite = Suivante<int (*)(const char*, const char*)>("rename");
    Compter();
    return suite(de, vers);
}

int renameat(int d1, const char* de, int d2, const char* vers)
{
    static auto suite = Suivante<int (*)(int, const char*, int, const char*)>("renameat");
    Compter();
    return suite(d1, de, d2, vers);
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
