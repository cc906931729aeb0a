// The shared helper for modal windows: it runs the steps inside the window it
// waits for, closes what is left open, and a window that never opens fails
// the test (through QTest's own failure, expected here) instead of blocking
// it.

#include "tests/modale.h"

#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QtTest>

class TDialogueA : public QDialog {
    Q_OBJECT
};

class TDialogueB : public QDialog {
    Q_OBJECT
};

// Refuses to close, as a window busy with a long task does.
class TDialogueObstine : public QDialog {
    Q_OBJECT
public:
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* e) override { e->ignore(); }
};

class TestModale : public QObject {
    Q_OBJECT

private slots:
    void etapesDansLaFenetre()
    {
        TDialogueA dialogue;
        dialogue.setWindowTitle("Titre");
        TQuandModale<TDialogueA> modale([&](TDialogueA* d) {
            QCOMPARE(d, &dialogue);
            d->accept();
        });
        QCOMPARE(dialogue.exec(), int(QDialog::Accepted));
        ATTENDRE_MODALE(modale);
        QCOMPARE(modale.Classe(), QString("TDialogueA"));
        QCOMPARE(modale.Titre(), QString("Titre"));

        // Without a class: whatever modal window opens.
        TDialogueB autre;
        TQuandModale<> quelconque;
        autre.exec();
        ATTENDRE_MODALE(quelconque);
        QCOMPARE(quelconque.Classe(), QString("TDialogueB"));
    }

    // Steps that leave the window open: it is closed, even when it refuses.
    void fenetreLaisseeOuverteFermee()
    {
        TDialogueObstine dialogue;
        TQuandModale<TDialogueObstine> modale;
        QCOMPARE(dialogue.exec(), int(QDialog::Rejected));
        ATTENDRE_MODALE(modale);
        QVERIFY(!dialogue.isVisible());
    }

    // A window that opens after the action has returned is waited for.
    void ouvertureDifferee()
    {
        TDialogueA dialogue;
        bool vue = false;
        TQuandModale<TDialogueA> modale([&](TDialogueA*) { vue = true; });
        QTimer::singleShot(50, &dialogue, [&] { dialogue.exec(); });
        ATTENDRE_MODALE(modale);
        QVERIFY(vue);
        QVERIFY(!dialogue.isVisible());
    }

    // A window opened from the steps of another has its own watch.
    void imbriquees()
    {
        TDialogueA exterieure;
        TDialogueB interieure;
        QString vues;
        TQuandModale<TDialogueA> modale([&](TDialogueA*) {
            TQuandModale<TDialogueB> dedans([&](TDialogueB* b) {
                vues += "B";
                b->accept();
            });
            interieure.exec();
            ATTENDRE_MODALE(dedans);
            vues += "A";
        });
        exterieure.exec();
        ATTENDRE_MODALE(modale);
        QCOMPARE(vues, QString("BA"));
        QVERIFY(!exterieure.isVisible());
    }

    void jamaisOuverteEchoue()
    {
        TQuandModale<TDialogueA> modale({}, 200);
        QElapsedTimer chrono;
        chrono.start();
        QEXPECT_FAIL("", "no window opens: the helper reports it", Continue);
        const bool attendue = modale.Attendre();
        QVERIFY(!attendue);
        QVERIFY(chrono.elapsed() >= 200);
        QVERIFY(chrono.elapsed() < 5000);
        QCOMPARE(modale.Erreur(), QString("fenêtre modale TDialogueA non ouverte après 200 ms"));
    }

    // Another modal window, left open, would block the test: it is closed
    // after the delay and the test fails.
    void autreFenetreFermee()
    {
        TDialogueB autre;
        TQuandModale<TDialogueA> modale({}, 200);
        QElapsedTimer chrono;
        chrono.start();
        QEXPECT_FAIL("", "another window opened: the helper reports it", Continue);
        autre.exec();
        QVERIFY(chrono.elapsed() < 5000);
        QVERIFY(!autre.isVisible());
        const bool attendue = modale.Attendre();
        QVERIFY(!attendue);
        QCOMPARE(modale.Erreur(),
                 QString("fenêtre modale TDialogueA non ouverte après 200 ms ; TDialogueB ouverte à sa place, fermée"));
    }

    // Never waited for and never opened: the end of the watch reports it
    // (an expectation left unused would fail this test).
    void oublieeSignaleeALaFin()
    {
        QEXPECT_FAIL("", "the window never opened: reported at the end of the watch", Continue);
        TQuandModale<TDialogueA> modale({}, 100);
    }

    // One window per watch, and nothing after it: no step runs on locals
    // that are gone.
    void uneSeuleFenetre()
    {
        int passages = 0;
        {
            TQuandModale<TDialogueA> modale([&](TDialogueA* d) {
                ++passages;
                d->accept();
            });
            TDialogueA premiere;
            premiere.exec();
            ATTENDRE_MODALE(modale);
            TDialogueA seconde;
            QTimer::singleShot(50, &seconde, &QDialog::reject);
            QCOMPARE(seconde.exec(), int(QDialog::Rejected));
        }
        TDialogueA apres;
        QTimer::singleShot(50, &apres, &QDialog::reject);
        QCOMPARE(apres.exec(), int(QDialog::Rejected));
        QCOMPARE(passages, 1);
    }

    // Without a test to fail (a driver inside the real program), the failure
    // goes where the driver says, as soon as the delay is over.
    void rapportAilleurs()
    {
        QStringList rapports;
        TQuandModale<TDialogueA> modale({}, 100);
        modale.RapporterPar([&](const QString& message) { rapports << message; });
        QTRY_COMPARE(rapports, QStringList{"fenêtre modale TDialogueA non ouverte après 100 ms"});
        QVERIFY(modale.PasOuverte());
    }

    void pasOuverte()
    {
        TQuandModale<TDialogueA> aucune;
        QVERIFY(aucune.PasOuverte());
        TQuandModale<TDialogueA> une;
        TDialogueA dialogue;
        dialogue.exec();
        QVERIFY(!une.PasOuverte());
    }
};

QTEST_MAIN(TestModale)
#include "test_modale.moc"
