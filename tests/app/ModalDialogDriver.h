#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// Acts on the next modal dialog of class Dialog once the GUI runs it, from within its event loop,
// as a user would. A dialog that does not show within the deadline leaves Handled() false.
template <typename Dialog> class ModalDialogDriver {
public:
    explicit ModalDialogDriver(std::function<void(Dialog*)> action) {
        clock_.start();
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this, action = std::move(action)] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (dialog != nullptr && dialog->isVisible()) {
                timer_.stop();
                handled_ = true;
                action(dialog);
            } else if (clock_.elapsed() > 10000) {
                timer_.stop();
            }
        });
        timer_.start();
    }

    bool Handled() const { return handled_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    bool handled_ = false;
};
