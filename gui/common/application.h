#pragma once
// The toolkit's application object: an exception that escapes an event
// handler is shown in the standard error box and the program goes on, as
// the user expects; the failure is remembered for the exit status.

#include <QApplication>

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* cible, QEvent* evenement) override;
    bool ErreurSurvenue() const { return m_erreur; }

private:
    void RendreLaMain(QWidget* fermee);
    bool m_erreur = false;
};
