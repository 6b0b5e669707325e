/// @file
/// TVaLEDDisplay, the LED line-status display of a port (Qt widget).
#pragma once

#include <q4471/framework/Export.h>
#include <q4471/serial/VaDisplay.h>
#include <q4471/serial/display/VaColor.h>
#include <q4471/serial/display/VaControls.h>

#include <QImage>
#include <array>
#include <cstdint>

/// The lamp shape.
enum TVrDisplayType { ltRounded, ltRectangle };
/** @var ltRounded
    Round lamps.
    @var ltRectangle
    Rectangular lamps. */
/// How wide the lamps are: one ninth of the control each, the hidden ones leaving their space
/// empty at the right-hand end (ltHide), or the shown ones sharing the whole width (ltScale).
enum TVrDisplayMode { ltHide, ltScale };
/// @var ltHide
/// Each lamp one ninth of the width; the space of hidden lamps stays empty at the right.
/// @var ltScale
/// The shown lamps share the whole width.

/// A row of up to nine lamps showing a port's modem lines (CTS, DSR, RING, RLSD) and transmit
/// holds (CTSH, DSRH, LSDH, XH, XS), each with its label. The port refreshes it on the GUI thread
/// at each batch of line events; the lamps keep the states of the last refresh.
///
/// The labels are drawn with the widget's font in its palette's WindowText colour, white from
/// construction. It is a component (its owner destroys it, and a port it is attached to forgets it
/// when it goes) and a widget (a parent widget destroys it too); either way is safe.
///
/// Attach it with the port's SetDisplay. Create, change and destroy it on the GUI thread.
class Q4471_API TVaLEDDisplay : public TVaGraphicControl, public TVaDisplay {
public:
    /// The number of lamps: 1 CTS, 2 DSR, 3 RING, 4 RLSD, 5 CTS hold, 6 DSR hold, 7 RLSD hold,
    /// 8 XOFF hold, 9 XOFF sent.
    static constexpr int32_t LampCount = 9;

    /// A display with all lamps shown and off; `owner` (may be null) and `parent` (may be null)
    /// each destroy it.
    explicit TVaLEDDisplay(q4471::TComponent* owner, QWidget* parent = nullptr);
    /// Leaves its port, which forgets it.
    ~TVaLEDDisplay() override;

    /// Moves and resizes the control, in pixels; the off-screen bitmap takes the new size.
    void SetBounds(int left, int top, int width, int height);

    /// Reads lamps 1 to 9 from `sender`, a port, and repaints. Any other sender only beeps. A
    /// failing query raises EVaCommError (GetModemStatus's or GetCommStatus's: ekDeviceGone or
    /// ekSystemError): the lamps read before it keep their new states, the others their old
    /// ones, and nothing is repainted.
    void UpdateDisplay(q4471::TComponent* sender) override;
    /// Ends loading and repaints with the properties read.
    void Loaded() override;

    /// Whether lamp 1 to 9 is on, as of the last refresh.
    bool LampOn(int32_t lamp) const;
    /// How many lamps the last paint showed.
    int32_t LampsShown() const { return lampsShown_; }

    // Properties; each writer repaints when the value changes and does nothing otherwise.
    ///@{
    /// The background colour. Default clWindow.
    TColor Color() const { return color_; }
    void SetColor(TColor value) { SetProperty(color_, value); }
    ///@}
    ///@{
    /// Whether lamp 1, CTS, is shown. Each Show property defaults to true.
    bool ShowCTS() const { return show_[0]; }
    void SetShowCTS(bool value) { SetProperty(show_[0], value); }
    ///@}
    ///@{
    /// Whether lamp 2, DSR, is shown.
    bool ShowDSR() const { return show_[1]; }
    void SetShowDSR(bool value) { SetProperty(show_[1], value); }
    ///@}
    ///@{
    /// Whether lamp 3, RING, is shown.
    bool ShowRING() const { return show_[2]; }
    void SetShowRING(bool value) { SetProperty(show_[2], value); }
    ///@}
    ///@{
    /// Whether lamp 4, RLSD (carrier), is shown.
    bool ShowRLSD() const { return show_[3]; }
    void SetShowRLSD(bool value) { SetProperty(show_[3], value); }
    ///@}
    ///@{
    /// Whether lamp 5, output held by CTS, is shown.
    bool ShowCTSHold() const { return show_[4]; }
    void SetShowCTSHold(bool value) { SetProperty(show_[4], value); }
    ///@}
    ///@{
    /// Whether lamp 6, output held by DSR, is shown.
    bool ShowDSRHold() const { return show_[5]; }
    void SetShowDSRHold(bool value) { SetProperty(show_[5], value); }
    ///@}
    ///@{
    /// Whether lamp 7, output held by RLSD, is shown.
    bool ShowRLSDHold() const { return show_[6]; }
    void SetShowRLSDHold(bool value) { SetProperty(show_[6], value); }
    ///@}
    ///@{
    /// Whether lamp 8, output held by a received XOFF, is shown.
    bool ShowXOffHold() const { return show_[7]; }
    void SetShowXOffHold(bool value) { SetProperty(show_[7], value); }
    ///@}
    ///@{
    /// Whether lamp 9, XOFF sent, is shown.
    bool ShowXOffSent() const { return show_[8]; }
    void SetShowXOffSent(bool value) { SetProperty(show_[8], value); }
    ///@}
    ///@{
    /// The colour of a lamp that is on. Default clBlue.
    TColor OnColor() const { return onColor_; }
    void SetOnColor(TColor value) { SetProperty(onColor_, value); }
    ///@}
    ///@{
    /// The colour of a lamp that is off. Default clNavy.
    TColor OffColor() const { return offColor_; }
    void SetOffColor(TColor value) { SetProperty(offColor_, value); }
    ///@}
    ///@{
    /// The lamp shape. Default ltRounded.
    TVrDisplayType DisplayType() const { return displayType_; }
    void SetDisplayType(TVrDisplayType value) { SetProperty(displayType_, value); }
    ///@}
    ///@{
    /// How wide the lamps are. Default ltScale.
    TVrDisplayMode DisplayMode() const { return displayMode_; }
    void SetDisplayMode(TVrDisplayMode value) { SetProperty(displayMode_, value); }
    ///@}
    ///@{
    /// Whether the lamps' labels are drawn. Default true.
    bool Displaycaption() const { return displaycaption_; }
    void SetDisplaycaption(bool value) { SetProperty(displaycaption_, value); }
    ///@}

protected:
    /// Draws the lamps into the off-screen bitmap and copies it to the screen.
    void Paint() override;
    /// True while the component is being loaded.
    bool Loading() const override { return InState(q4471::csLoading); }
    /// Gives the bitmap the new size; Qt repaints after a resize.
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
