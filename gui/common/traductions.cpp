#include "gui/common/traductions.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString ChargerTraductionsQt(const QString& dossier)
{
    const QString ou = dossier.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : dossier;
    auto* traducteur = new QTranslator(QCoreApplication::instance());
    if (traducteur->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"), QStringLiteral("_"), ou)
        && QCoreApplication::installTranslator(traducteur))
        return {};
    delete traducteur;
    return QStringLiteral(
               "Kestravel : les traductions françaises de Qt (qtbase_fr.qm) sont introuvables dans « %1 » ; "
               "les boutons et les boîtes de dialogue standard resteront en anglais. Installez le paquet "
               "qt6-translations-l10n.")
        .arg(QDir::toNativeSeparators(ou));
}
