#pragma once

#include <q4471/serial/display/VaLEDDisplay.h>

#include <QTimer>

class TVaCustomComm;

// The LED line-status display as the monitor attaches it to its port, repainting at most every
// RefreshMs: a stream brings hundreds of batches a second, and a repaint for each would cost more
// than the rest of the monitor together. The first batch after a quiet spell is shown at once;
// the batches that follow within RefreshMs are shown together at its end.
class TLineStatusDisplay : public TVaLEDDisplay {
public:
    static constexpr int RefreshMs = 100;

    TLineStatusDisplay(q4471::TComponent* owner, QWidget* parent);

    void UpdateDisplay(q4471::TComponent* sender) override;
    void Notification(q4471::TComponent* component, q4471::TOperation operation) override;

private:
    void Refresh();

    QTimer refreshTimer_;
    TVaCustomComm* port_ = nullptr; // the port whose batches came; cleared when it goes
    bool stale_ = false;
};
