#pragma once

#include <QWidget>
#include <cstdint>

// Base of the component's drawn controls: a plain child widget (Qt gives it no native window of
// its own) that draws itself in Paint, with an update counter that holds back repaints while
// several properties change, and hooks that run after Qt's own handling of the mouse entering and
// leaving, a font change and a text change (the widget's window title is its text).
class TVaGraphicControl : public QWidget {
public:
    explicit TVaGraphicControl(QWidget* parent = nullptr);

    int32_t UpdateCount() const { return updateCount_; }
    void BeginUpdate() { ++updateCount_; }
    // Closes one update, then repaints unless another is still open. An unmatched call leaves
    // the count at 0, so that it cannot cancel the next BeginUpdate.
    void EndUpdate();

    // Repaints at once, unless the control is being loaded or an update is open.
    virtual void UpdateControlCanvas();

protected:
    // True while the control's stored properties are being read in.
    virtual bool Loading() const { return false; }

    // Draws the control; runs inside the widget's paint event only.
    virtual void Paint() {}
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    virtual void FontChanged() {}
    virtual void TextChanged() {}

    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int32_t updateCount_ = 0;
};
