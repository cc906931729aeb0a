#include "fuzz/soutien_fuzz.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
QString& EntreeCourante()
{
    static QString nom;
    return nom;
}
}  // namespace

void EchecPropriete(const char* condition, const char* fichier, int ligne, const QString& detail)
{
    std::fprintf(stderr, "Propriété non tenue : %s\n  %s:%d\n", condition, fichier, ligne);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  %s\n", detail.toLocal8Bit().constData());
    if (!EntreeCourante().isEmpty())
        std::fprintf(stderr, "  entrée : %s\n", EntreeCourante().toLocal8Bit().constData());
    std::fflush(stderr);
    std::abort();
}

void SetEntreeCourante(const QString& nom) { EntreeCourante() = nom; }

int TEntree::Entier(int min, int max)
{
    const quint32 etendue = quint32(max - min) + 1;
    quint32 v = Octet();
    if (etendue > 256)
        v = (v << 8) | Octet();
    return min + int(v % etendue);
}

QByteArray TEntree::Octets(int max)
{
    const int n = int(qMin<qsizetype>(Entier(0, max), m_octets.size() - m_pos));
    const QByteArray r = m_octets.mid(m_pos, n);
    m_pos += n;
    return r;
}

QByteArray TEntree::Reste()
{
    const QByteArray r = m_octets.mid(m_pos);
    m_pos = m_octets.size();
    return r;
}

void InitialiserProcessus()
{
    static int argc = 1;
    static char nom[] = "kestravel-fuzz";
    static char* argv[] = {nom, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);  // lives as long as the process
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
}

QString DossierTravail()
{
    static std::unique_ptr<QTemporaryDir> dossier;
    if (!dossier) {
        const QString memoire = QStringLiteral("/dev/shm");
        const QString base = QFileInfo(memoire).isDir() && QFileInfo(memoire).isWritable() ? memoire : QDir::tempPath();
        dossier = std::make_unique<QTemporaryDir>(base + QStringLiteral("/kestravel-fuzz-XXXXXX"));
        if (!dossier->isValid())
            EchecPropriete("dossier->isValid()", __FILE__, __LINE__, dossier->errorString());
    }
    return dossier->path();
}

QByteArray LireOctets(const QString& chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void EcrireOctets(const QString& chemin, const QByteArray& octets)
{
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(octets) != octets.size())
        EchecPropriete("EcrireOctets", __FILE__, __LINE__, chemin + " : " + f.errorString());
}
