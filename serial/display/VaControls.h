/// @file
/// TVaGraphicControl, the base of the serial component's drawn controls.
#pragma once

#include <q4471/framework/Export.h>

#include <QWidget>
#include <cstdint>

/// Base of the component's drawn controls: a plain child widget (Qt gives it no native window of
/// its own) that draws itself in Paint, with an update counter that holds back repaints while
/// several properties change, and hooks that run after Qt's own handling of the mouse entering and
/// leaving, a font change and a text change (the widget's window title is its text). GUI thread
/// only.
class Q4471_API TVaGraphicControl : public QWidget {
public:
    /// A control inside `parent` (may be null), which destroys it.
    explicit TVaGraphicControl(QWidget* parent = nullptr);

    /// How many BeginUpdate calls are still open.
    int32_t UpdateCount() const { return updateCount_; }
    /// Holds back repaints until the matching EndUpdate.
    void BeginUpdate() { ++updateCount_; }
    /// Closes one update, then repaints unless another is still open. An unmatched call leaves
    /// the count at 0, so that it cannot cancel the next BeginUpdate.
    void EndUpdate();

    /// Repaints at once, unless the control is being loaded or an update is open.
    virtual void UpdateControlCanvas();

protected:
    /// True while the control's stored properties are being read in.
    virtual bool Loading() const { return false; }

    /// Draws the control; runs inside the widget's paint event only.
    virtual void Paint() {}
    /// After the mouse entered the control.
    virtual void MouseEnter() {}
    /// After the mouse left the control.
    virtual void MouseLeave() {}
    /// After the control's font changed.
    virtual void FontChanged() {}
    /// After the control's text (its window title) changed.
    virtual void TextChanged() {}

    /// Calls Paint.
    void paintEvent(QPaintEvent* event) override;
    /// Qt's handling, then MouseEnter.
    void enterEvent(QEnterEvent* event) override;
    /// Qt's handling, then MouseLeave.
    void leaveEvent(QEvent* event) override;
    /// Qt's handling, then FontChanged or TextChanged for those changes.
    void changeEvent(QEvent* event) override;

private:
    int32_t updateCount_ = 0;
};
