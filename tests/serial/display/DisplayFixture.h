#pragma once

// A line-status display shown in a window with a known background, its paint events counted,
// and what it draws read back from an image.

#include <q4471/serial/display/VaLEDDisplay.h>

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <array>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// The columns from `first` to `last` of a run of lamp pixels.
struct Span {
    int first;
    int last;
    bool operator==(const Span&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Span& span) {
    return out << "[" << span.first << ", " << span.last << "]";
}

class DisplayTest : public testing::Test {
protected:
    using Display = TVaLEDDisplay;
    // Brown: neither light nor a lamp colour.
    static constexpr TColor Background = 0x004080;
    static constexpr QRgb BackgroundPixel = qRgb(0x80, 0x40, 0x00);
    static constexpr std::array<void (Display::*)(bool), Display::LampCount> ShowWriters = {
        &Display::SetShowCTS,      &Display::SetShowDSR,      &Display::SetShowRING,
        &Display::SetShowRLSD,     &Display::SetShowCTSHold,  &Display::SetShowDSRHold,
        &Display::SetShowRLSDHold, &Display::SetShowXOffHold, &Display::SetShowXOffSent};

    DisplayTest() {
        display_.SetColor(Background);
        window_.resize(500, 100);
        window_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window_));
        QCoreApplication::processEvents();
        display_.installEventFilter(&paints_);
    }

    // Shows the lamps whose bits are set in `mask`, bit 0 for lamp 1.
    void ShowOnly(unsigned mask) {
        for (std::size_t lamp = 0; lamp < ShowWriters.size(); ++lamp) {
            (display_.*ShowWriters[lamp])((mask >> lamp & 1u) != 0);
        }
    }

    QImage Render() {
        QImage image(display_.size(), QImage::Format_RGB32);
        image.fill(Qt::magenta); // shows through wherever the display leaves a pixel undrawn
        display_.render(&image);
        return image;
    }

    // The runs of pixels other than the background along row `y`.
    static std::vector<Span> LampSpans(const QImage& image, int y) {
        std::vector<Span> spans;
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == BackgroundPixel) {
                continue;
            }
            if (spans.empty() || spans.back().last != x - 1) {
                spans.push_back({x, x});
            } else {
                spans.back().last = x;
            }
        }
        return spans;
    }

    // The smallest rectangle holding every light pixel of `area`, as white text leaves them;
    // empty when there is none.
    static QRect LightPixels(const QImage& image, const QRect& area) {
        QRect found;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (qGray(image.pixel(x, y)) > 200) {
                    found |= QRect(x, y, 1, 1);
                }
            }
        }
        return found;
    }

    // Declared before the display, so that the display leaves them before they go.
    QWidget window_;
    PaintCounter paints_;
    Display display_{nullptr, &window_};
};
