#pragma once

#include "serial/VaDisplay.h"
#include "serial/display/VaColor.h"
#include "serial/display/VaControls.h"

#include <QImage>
#include <array>
#include <cstdint>

// The lamp shape.
enum TVrDisplayType { ltRounded, ltRectangle };
// How wide the lamps are: one ninth of the control each, the hidden ones leaving their space
// empty at the right-hand end (ltHide), or the shown ones sharing the whole width (ltScale).
enum TVrDisplayMode { ltHide, ltScale };

// A row of up to nine lamps showing a port's modem lines (CTS, DSR, RING, RLSD) and transmit
// holds (CTSH, DSRH, LSDH, XH, XS), each with its label. The port refreshes it on the GUI thread
// at each batch of line events; the lamps keep the states of the last refresh.
//
// The labels are drawn with the widget's font in its palette's WindowText colour, white from
// construction. It is a component (its owner destroys it, and a port it is attached to forgets it
// when it goes) and a widget (a parent widget destroys it too); either way is safe.
class TVaLEDDisplay : public TVaGraphicControl, public TVaDisplay {
public:
    static constexpr int32_t LampCount = 9;

    explicit TVaLEDDisplay(TComponent* owner, QWidget* parent = nullptr);
    ~TVaLEDDisplay() override;

    // Moves and resizes the control; the off-screen bitmap takes the new size.
    void SetBounds(int left, int top, int width, int height);

    // Reads lamps 1 to 9 from `sender`, a port, and repaints. Any other sender only beeps. A
    // failing query raises EVaCommError: the lamps read before it keep their new states, the
    // others their old ones, and nothing is repainted.
    void UpdateDisplay(TComponent* sender) override;
    void Loaded() override;

    // Whether lamp 1 to 9 is on, as of the last refresh.
    bool LampOn(int32_t lamp) const;
    // How many lamps the last paint showed.
    int32_t LampsShown() const { return lampsShown_; }

    // Properties; each writer repaints when the value changes and does nothing otherwise.
    TColor Color() const { return color_; }
    void SetColor(TColor value) { SetProperty(color_, value); }
    bool ShowCTS() const { return show_[0]; }
    void SetShowCTS(bool value) { SetProperty(show_[0], value); }
    bool ShowDSR() const { return show_[1]; }
    void SetShowDSR(bool value) { SetProperty(show_[1], value); }
    bool ShowRING() const { return show_[2]; }
    void SetShowRING(bool value) { SetProperty(show_[2], value); }
    bool ShowRLSD() const { return show_[3]; }
    void SetShowRLSD(bool value) { SetProperty(show_[3], value); }
    bool ShowCTSHold() const { return show_[4]; }
    void SetShowCTSHold(bool value) { SetProperty(show_[4], value); }
    bool ShowDSRHold() const { return show_[5]; }
    void SetShowDSRHold(bool value) { SetProperty(show_[5], value); }
    bool ShowRLSDHold() const { return show_[6]; }
    void SetShowRLSDHold(bool value) { SetProperty(show_[6], value); }
    bool ShowXOffHold() const { return show_[7]; }
    void SetShowXOffHold(bool value) { SetProperty(show_[7], value); }
    bool ShowXOffSent() const { return show_[8]; }
    void SetShowXOffSent(bool value) { SetProperty(show_[8], value); }
    TColor OnColor() const { return onColor_; }
    void SetOnColor(TColor value) { SetProperty(onColor_, value); }
    TColor OffColor() const { return offColor_; }
    void SetOffColor(TColor value) { SetProperty(offColor_, value); }
    TVrDisplayType DisplayType() const { return displayType_; }
    void SetDisplayType(TVrDisplayType value) { SetProperty(displayType_, value); }
    TVrDisplayMode DisplayMode() const { return displayMode_; }
    void SetDisplayMode(TVrDisplayMode value) { SetProperty(displayMode_, value); }
    bool Displaycaption() const { return displaycaption_; }
    void SetDisplaycaption(bool value) { SetProperty(displaycaption_, value); }

protected:
    void Paint() override;
    bool Loading() const override { return InState(csLoading); }
    void resizeEvent(QResizeEvent* event) override;

private:
    template <class T> void SetProperty(T& field, T value) {
        if (field != value) {
            field = value;
            UpdateControlCanvas();
        }
    }
    // Gives the bitmap the control's size in device pixels.
    void FitBitmap();
    void DrawLamp(QPainter& canvas, int32_t lamp, int x, int lampWidth);

    TColor color_ = clWindow;
    std::array<bool, LampCount> show_{true, true, true, true, true, true, true, true, true};
    TColor onColor_ = clBlue;
    TColor offColor_ = clNavy;
    TVrDisplayType displayType_ = ltRounded;
    TVrDisplayMode displayMode_ = ltScale;
    bool displaycaption_ = true;

    std::array<bool, LampCount> states_{};
    int32_t lampsShown_ = 0;
    // Drawn whole, then copied to the screen in one piece, so that the lamps do not flicker.
    QImage bitmap_;
};
