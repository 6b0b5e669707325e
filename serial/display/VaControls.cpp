#include <q4471/serial/display/VaControls.h>

#include <QEvent>

TVaGraphicControl::TVaGraphicControl(QWidget* parent) : QWidget(parent) {}

void TVaGraphicControl::EndUpdate() {
    if (updateCount_ > 0) {
        --updateCount_;
    }
    UpdateControlCanvas();
}

void TVaGraphicControl::UpdateControlCanvas() {
    if (Loading() || updateCount_ > 0) {
        return;
    }
    repaint();
}

void TVaGraphicControl::paintEvent(QPaintEvent*) {
    Paint();
}

void TVaGraphicControl::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    MouseEnter();
}

void TVaGraphicControl::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    MouseLeave();
}

void TVaGraphicControl::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FontChanged();
    } else if (event->type() == QEvent::WindowTitleChange) {
        TextChanged();
    }
}
