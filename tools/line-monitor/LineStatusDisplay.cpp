#include "LineStatusDisplay.h"

#include <q4471/framework/Application.h>
#include <q4471/serial/VaComm.h>

using namespace q4471;

TLineStatusDisplay::TLineStatusDisplay(TComponent* owner, QWidget* parent)
    : TVaLEDDisplay(owner, parent) {
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(RefreshMs);
    QObject::connect(&refreshTimer_, &QTimer::timeout, this, [this] {
        if (!stale_ || port_ == nullptr) {
            return;
        }
        try {
            Refresh();
        } catch (...) {
            // Where an error of a refresh within a batch goes too.
            Application::HandleException();
        }
    });
}

void TLineStatusDisplay::UpdateDisplay(TComponent* sender) {
    auto* port = dynamic_cast<TVaCustomComm*>(sender);
    if (port == nullptr) {
        TVaLEDDisplay::UpdateDisplay(sender); // not a port: the display's own answer
        return;
    }
    if (port != port_) {
        FreeNotification(port);
        port_ = port;
    }
    if (refreshTimer_.isActive()) {
        stale_ = true; // shown at the end of the spell
        return;
    }
    Refresh();
}

void TLineStatusDisplay::Refresh() {
    stale_ = false;
    refreshTimer_.start();
    TVaLEDDisplay::UpdateDisplay(port_);
}

void TLineStatusDisplay::Notification(TComponent* component, TOperation operation) {
    TVaLEDDisplay::Notification(component, operation);
    if (operation == TOperation::opRemove && component == port_) {
        port_ = nullptr;
        refreshTimer_.stop();
    }
}
