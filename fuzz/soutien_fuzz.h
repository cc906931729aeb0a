#pragma once
// What the fuzz targets share: the failure report, a reader that turns the
// fuzzer's bytes into choices, and the process set-up (Qt, French locale, a
// scratch folder).

#include <QByteArray>
#include <QString>

// Every target defines these two (libFuzzer's entry points); the replay
// program calls them on the stored inputs.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* donnees, size_t taille);

// A broken property: prints what and where, with the input being replayed if
// any, then aborts so that libFuzzer keeps the input and the replay fails.
[[noreturn]] void EchecPropriete(const char* condition, const char* fichier, int ligne, const QString& detail);
#define VERIFIER(condition, detail)                                   \
    do {                                                              \
        if (!(condition))                                             \
            EchecPropriete(#condition, __FILE__, __LINE__, (detail)); \
    } while (0)

// Name of the stored input being replayed, for the failure report.
void SetEntreeCourante(const QString& nom);

// Reads choices from the front of the input; past its end every choice is 0.
class TEntree {
public:
    TEntree(const unsigned char* donnees, size_t taille)
        : m_octets(reinterpret_cast<const char*>(donnees), qsizetype(taille))
    {}
    bool Vide() const { return m_pos >= m_octets.size(); }
    quint8 Octet() { return Vide() ? 0 : quint8(m_octets[m_pos++]); }
    // A value in [min, max].
    int Entier(int min, int max);
    // Up to `max` bytes.
    QByteArray Octets(int max);
    QByteArray Reste();

private:
    QByteArray m_octets;
    qsizetype m_pos = 0;
};

// Once per process: a core application (SQL plugins, codecs) and the French
// locale the users have.
void InitialiserProcessus();
// A folder for the target's files for the whole run, in memory when the
// machine has /dev/shm (the saves sync to disk, which would slow the fuzzer).
QString DossierTravail();

QByteArray LireOctets(const QString& chemin);
void EcrireOctets(const QString& chemin, const QByteArray& octets);
