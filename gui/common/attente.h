#pragma once
// Feedback for work that may take a while on a large catalogue: the busy
// cursor while the work lasts, whatever way it ends, and a progress window
// with "Annuler" where the work can stop safely.

#include <QElapsedTimer>
#include <QString>
#include <Qt>
#include <memory>

class QProgressDialog;
class QWidget;

class TCurseurOccupe {
public:
    // Qt::WaitCursor when nothing else can be done meanwhile; Qt::BusyCursor
    // when a progress window still takes clicks.
    explicit TCurseurOccupe(Qt::CursorShape forme = Qt::WaitCursor);
    ~TCurseurOccupe();
    TCurseurOccupe(const TCurseurOccupe&) = delete;
    TCurseurOccupe& operator=(const TCurseurOccupe&) = delete;
};

// A modal progress window with "Annuler" that shows once the work has lasted
// half a second; between two steps of the work it takes the user's clicks.
class TFenetreAvancement {
public:
    // `format`: the bar's text for a counted work ("Page %v sur %m"), empty
    // for a work whose length is unknown.
    TFenetreAvancement(const QString& texte, QWidget* parent, const QString& format = QString());
    ~TFenetreAvancement();
    TFenetreAvancement(const TFenetreAvancement&) = delete;
    TFenetreAvancement& operator=(const TFenetreAvancement&) = delete;

    // A step of a counted work; false once "Annuler" has been pressed.
    bool Avancer(int faites, int total);
    // A step of a work of unknown length, as often as convenient; false once
    // "Annuler" has been pressed.
    bool Continuer();

private:
    std::unique_ptr<QProgressDialog> m_dialogue;
    QElapsedTimer m_depuis;
    qint64 m_dernierTour = 0;
};
