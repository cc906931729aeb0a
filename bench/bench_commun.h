#pragma once
// Small helpers shared by the benchmark programs.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <cstdio>
#include <functional>

namespace bench {

// Path of a generated catalogue in the scratch folder, made once with
// kestravel-db and reused by later runs.
inline QString Catalogue(const QString& dossier, const QString& build, const QString& nom,
                         const QStringList& options)
{
    const QString chemin = QDir(dossier).filePath(nom);
    if (!QFile::exists(chemin)) {
        std::printf("génération de %s…\n", qPrintable(chemin));
        std::fflush(stdout);
        const int rc = QProcess::execute(QDir(build).filePath("tools/kestravel-db"),
                                         QStringList{"generate", chemin} + options);
        if (rc != 0) {
            std::fprintf(stderr, "échec de la génération\n");
            std::exit(1);
        }
    }
    return chemin;
}

// Best of n runs, in milliseconds.
inline double Mesurer(int n, const std::function<void()>& f)
{
    double meilleur = 1e300;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        meilleur = std::min(meilleur, t.nsecsElapsed() / 1e6);
    }
    return meilleur;
}

// Peak resident memory of the process so far, in MiB.
inline double MemoireMax()
{
    QFile f("/proc/self/status");
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& l : f.readAll().split('\n'))
            if (l.startsWith("VmHWM:"))
                return l.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

inline void Ratio(const char* quoi, double ms, double baseMs, double cible)
{
    std::printf("%-46s %9.1f ms   base %9.1f ms   ratio %5.2f×  (cible ≤ %.1f×) %s\n", quoi, ms, baseMs,
                ms / baseMs, cible, ms / baseMs <= cible ? "OK" : "HORS CIBLE");
}

}  // namespace bench
