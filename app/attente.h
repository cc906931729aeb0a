#pragma once
// Feedback for work that may take a while on a large catalogue: the busy
// cursor while the work lasts, whatever way it ends.

#include <Qt>

class TCurseurOccupe {
public:
    // Qt::WaitCursor when nothing else can be done meanwhile; Qt::BusyCursor
    // when a progress window still takes clicks.
    explicit TCurseurOccupe(Qt::CursorShape forme = Qt::WaitCursor);
    ~TCurseurOccupe();
    TCurseurOccupe(const TCurseurOccupe&) = delete;
    TCurseurOccupe& operator=(const TCurseurOccupe&) = delete;
};
