#include "DisplayFixture.h"

#include <QEnterEvent>
#include <functional>
#include <string>

namespace {

using LEDDisplayRepaintTest = DisplayTest;

// Sets one property to the value it has, or to another.
struct WriterCase {
    std::string name;
    std::function<void(TVaLEDDisplay&, bool change)> write;
};

template <class T>
WriterCase Writer(std::string name, T (TVaLEDDisplay::*read)() const,
                  void (TVaLEDDisplay::*write)(T), T other) {
    return {std::move(name), [=](TVaLEDDisplay& display, bool change) {
                (display.*write)(change ? other : (display.*read)());
            }};
}

TEST_F(LEDDisplayRepaintTest, EachWriterRepaintsOnceOnAChangeAndNotAtAllOtherwise) {
    const WriterCase cases[] = {
        Writer("Color", &Display::Color, &Display::SetColor, TColor{0x123456}),
        Writer("ShowCTS", &Display::ShowCTS, &Display::SetShowCTS, false),
        Writer("ShowDSR", &Display::ShowDSR, &Display::SetShowDSR, false),
        Writer("ShowRING", &Display::ShowRING, &Display::SetShowRING, false),
        Writer("ShowRLSD", &Display::ShowRLSD, &Display::SetShowRLSD, false),
        Writer("ShowCTSHold", &Display::ShowCTSHold, &Display::SetShowCTSHold, false),
        Writer("ShowDSRHold", &Display::ShowDSRHold, &Display::SetShowDSRHold, false),
        Writer("ShowRLSDHold", &Display::ShowRLSDHold, &Display::SetShowRLSDHold, false),
        Writer("ShowXOffHold", &Display::ShowXOffHold, &Display::SetShowXOffHold, false),
        Writer("ShowXOffSent", &Display::ShowXOffSent, &Display::SetShowXOffSent, false),
        Writer("OnColor", &Display::OnColor, &Display::SetOnColor, clWhite),
        Writer("OffColor", &Display::OffColor, &Display::SetOffColor, clBlack),
        Writer("DisplayType", &Display::DisplayType, &Display::SetDisplayType, ltRectangle),
        Writer("DisplayMode", &Display::DisplayMode, &Display::SetDisplayMode, ltHide),
        Writer("Displaycaption", &Display::Displaycaption, &Display::SetDisplaycaption, false),
    };
    for (const WriterCase& c : cases) {
        paints_.count = 0;
        c.write(display_, false);
        EXPECT_EQ(paints_.count, 0) << c.name << " set to its own value";
        c.write(display_, true);
        EXPECT_EQ(paints_.count, 1) << c.name << " changed";
    }
}

// One step of a script and the paints counted after it.
struct Step {
    std::function<void(TVaLEDDisplay&)> action;
    int paints;
};

TEST_F(LEDDisplayRepaintTest, OpenUpdatesAndLoadingHoldRepaintsBackUntilTheyEnd) {
    const auto begin = [](TVaLEDDisplay& d) { d.BeginUpdate(); };
    const auto end = [](TVaLEDDisplay& d) { d.EndUpdate(); };
    const auto change = [](TVaLEDDisplay& d) { d.SetShowRING(!d.ShowRING()); };
    const std::pair<const char*, std::vector<Step>> cases[] = {
        {"one update", {{begin, 0}, {change, 0}, {change, 0}, {end, 1}}},
        {"nested updates", {{begin, 0}, {begin, 0}, {change, 0}, {end, 0}, {end, 1}}},
        {"an unmatched EndUpdate repaints and does not cancel the next BeginUpdate",
         {{end, 1}, {begin, 1}, {change, 1}, {end, 2}}},
        {"loading",
         {{[](TVaLEDDisplay& d) { d.BeginLoading(); }, 0},
          {change, 0},
          {[](TVaLEDDisplay& d) { d.Loaded(); }, 1},
          {change, 2}}},
    };
    for (const auto& [name, steps] : cases) {
        paints_.count = 0;
        for (std::size_t step = 0; step < steps.size(); ++step) {
            steps[step].action(display_);
            EXPECT_EQ(paints_.count, steps[step].paints) << name << ", step " << step;
        }
        EXPECT_EQ(display_.UpdateCount(), 0) << name;
    }
}

// Counts the calls of each hook.
class HookedControl : public TVaGraphicControl {
public:
    using TVaGraphicControl::TVaGraphicControl;
    std::string calls;

protected:
    void MouseEnter() override { calls += "enter "; }
    void MouseLeave() override { calls += "leave "; }
    void FontChanged() override { calls += "font "; }
    void TextChanged() override { calls += "text "; }
};

TEST(GraphicControlTest, HooksFollowTheirEvents) {
    const std::pair<std::function<void(HookedControl&)>, std::string> cases[] = {
        {[](HookedControl& c) {
             QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
             QCoreApplication::sendEvent(&c, &event);
         },
         "enter "},
        {[](HookedControl& c) {
             QEvent event(QEvent::Leave);
             QCoreApplication::sendEvent(&c, &event);
         },
         "leave "},
        {[](HookedControl& c) { c.setFont(QFont("DejaVu Serif", 31)); }, "font "},
        {[](HookedControl& c) { c.setWindowTitle("lamps"); }, "text "},
    };
    for (const auto& [action, expected] : cases) {
        HookedControl control;
        action(control);
        EXPECT_EQ(control.calls, expected);
    }
}

} // namespace
