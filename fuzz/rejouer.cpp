// Replays a fuzz target over stored inputs: its seeds and every input a
// fuzzer once failed on. Each argument is a folder; a missing one is skipped.
// Built with the normal compiler, so the properties hold in every test run.

#include "fuzz/soutien_fuzz.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int entrees = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir dossier(QString::fromLocal8Bit(argv[i]));
        if (!dossier.exists())
            continue;
        for (const QFileInfo& f : dossier.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
            if (f.fileName().startsWith('.'))
                continue;
            SetEntreeCourante(f.filePath());
            const QByteArray octets = LireOctets(f.filePath());
            LLVMFuzzerTestOneInput(reinterpret_cast<const unsigned char*>(octets.constData()), size_t(octets.size()));
            ++entrees;
        }
    }
    std::printf("%d entrées rejouées\n", entrees);
    // No input at all means the folders were wrong, not that all is well.
    return entrees > 0 ? 0 : 1;
}
