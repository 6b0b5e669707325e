#include "DisplayFixture.h"

#include <algorithm>
#include <bit>

namespace {

using LEDDisplayDrawingTest = DisplayTest;

struct WidthCase {
    const char* name;
    TVrDisplayMode mode;
    unsigned shown; // bit 0 for lamp 1
    int controlWidth;
    int lampWidth;
};

TEST_F(LEDDisplayDrawingTest, LampsShareTheWidthRoundedHalfToEvenAndLeaveTheRestToTheBackground) {
    const WidthCase cases[] = {
        {"nine in 316", ltScale, 0x1FF, 316, 35},
        {"eight in 316: 39.5 rounds up to the even 40", ltScale, 0x0FF, 316, 40},
        {"six in 316: 52.67", ltScale, 0x1F8, 316, 53},
        {"eight in 420: 52.5 rounds down to the even 52", ltScale, 0x1FE, 420, 52},
        {"one in 316", ltScale, 0x010, 316, 316},
        {"none", ltScale, 0x000, 316, 0},
        {"three hidden-mode lamps keep a ninth each, from the left", ltHide, 0x124, 316, 35},
        {"none in hidden mode", ltHide, 0x000, 316, 35},
    };
    display_.SetDisplayType(ltRectangle);
    display_.SetDisplaycaption(false);
    for (const WidthCase& c : cases) {
        display_.SetBounds(0, 0, c.controlWidth, 18);
        display_.SetDisplayMode(c.mode);
        ShowOnly(c.shown);
        const QImage image = Render();

        // A rectangle lamp from x covers x + 1 to x + width - 2 in every row, its outline too.
        std::vector<Span> expected;
        for (int lamp = 0; lamp < std::popcount(c.shown); ++lamp) {
            const int x = lamp * c.lampWidth;
            expected.push_back({x + 1, std::min(x + c.lampWidth - 2, c.controlWidth - 1)});
        }
        ASSERT_EQ(image.width(), c.controlWidth) << c.name;
        for (int y = 0; y < image.height(); ++y) {
            ASSERT_EQ(LampSpans(image, y), expected) << c.name << ", row " << y;
        }
        EXPECT_EQ(display_.LampsShown(), std::popcount(c.shown)) << c.name;
    }
}

struct CaptionCase {
    const char* name;
    TVrDisplayType type;
    bool caption;
    int height;
    enum { None, Anywhere, AtTheTop, Centred } text;
};

TEST_F(LEDDisplayDrawingTest, ShapesAndCaptionsFollowTypeAndCaptionSwitch) {
    const CaptionCase cases[] = {
        {"rounded with caption", ltRounded, true, 18, CaptionCase::Anywhere},
        {"rectangle with caption", ltRectangle, true, 18, CaptionCase::Anywhere},
        {"rounded without caption", ltRounded, false, 18, CaptionCase::None},
        {"rectangle without caption", ltRectangle, false, 18, CaptionCase::None},
        {"tall rectangle puts the label at the top", ltRectangle, true, 60, CaptionCase::AtTheTop},
        {"tall ellipse centres the label", ltRounded, true, 60, CaptionCase::Centred},
    };
    for (const CaptionCase& c : cases) {
        display_.SetBounds(0, 0, 316, c.height);
        display_.SetDisplayType(c.type);
        display_.SetDisplaycaption(c.caption);
        const QImage image = Render();

        // The lamp's top left corner: on a rectangle's outline, outside an ellipse.
        EXPECT_EQ(image.pixel(1, 0), c.type == ltRectangle ? qRgb(0, 0, 0) : BackgroundPixel)
            << c.name;
        for (int lamp = 0; lamp < Display::LampCount; ++lamp) {
            const QRect text = LightPixels(image, QRect(lamp * 35 + 1, 0, 33, c.height));
            EXPECT_EQ(text.isEmpty(), c.text == CaptionCase::None) << c.name << ", lamp " << lamp;
            if (c.text == CaptionCase::AtTheTop) {
                EXPECT_LT(text.top(), c.height / 4) << c.name << ", lamp " << lamp;
            } else if (c.text == CaptionCase::Centred) {
                EXPECT_NEAR(text.center().y(), c.height / 2, 4) << c.name << ", lamp " << lamp;
            }
        }
    }
}

} // namespace
