// Qt's own texts in French whatever the system's language, and a clear word
// on standard error when the translations are not installed.

#include "gui/common/traductions.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

class TestTraductions : public QObject {
    Q_OBJECT

private slots:
    void missingTranslationsAreReportedNotFatal()
    {
        const QString avertissement = ChargerTraductionsQt("/nulle/part");
        QVERIFY2(avertissement.contains("qtbase_fr.qm") && avertissement.contains("/nulle/part")
                     && avertissement.contains("qt6-translations-l10n"),
                 qPrintable(avertissement));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    }

    void standardButtonsSpeakFrench()
    {
        qputenv("LANG", "C");
        const QString avertissement = ChargerTraductionsQt();
        QVERIFY2(avertissement.isEmpty(), qPrintable(avertissement));
        QMessageBox boite(QMessageBox::Question, "Kestravel", "Supprimer ?", QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(boite.button(QMessageBox::Cancel)->text(), QStringLiteral("Annuler"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Voir dans :"));
    }
};

QTEST_MAIN(TestTraductions)
#include "test_traductions.moc"
