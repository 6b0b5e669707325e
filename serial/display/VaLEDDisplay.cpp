#include <q4471/serial/VaComm.h>
#include <q4471/serial/display/VaLEDDisplay.h>

#include <QApplication>
#include <QPainter>
#include <algorithm>

using namespace q4471;

namespace {

constexpr std::array<const char*, TVaLEDDisplay::LampCount> Labels = {
    "CTS", "DSR", "RING", "RLSD", "CTSH", "DSRH", "LSDH", "XH", "XS"};

// `total` shared by `lamps`, rounded to the nearest integer with halves to the even neighbour, as
// the framework rounds; 0 when there are no lamps.
int LampWidth(int total, int lamps) {
    if (lamps <= 0) {
        return 0;
    }
    int width = total / lamps;
    const int twiceRest = 2 * (total % lamps);
    if (twiceRest > lamps || (twiceRest == lamps && width % 2 != 0)) {
        ++width;
    }
    return width;
}

} // namespace

TVaLEDDisplay::TVaLEDDisplay(TComponent* owner, QWidget* parent)
    : TVaGraphicControl(parent), TVaDisplay(owner) {
    // Every pixel comes from the bitmap, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, ColorToQColor(clWhite, palette));
    setPalette(palette);
    SetBounds(x(), y(), 316, 18);
}

TVaLEDDisplay::~TVaLEDDisplay() {
    Destroying();
}

void TVaLEDDisplay::SetBounds(int left, int top, int width, int height) {
    setGeometry(left, top, width, height);
    FitBitmap();
}

void TVaLEDDisplay::resizeEvent(QResizeEvent* event) {
    TVaGraphicControl::resizeEvent(event);
    FitBitmap();
}

void TVaLEDDisplay::FitBitmap() {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (bitmap_.size() != pixels || bitmap_.devicePixelRatio() != ratio) {
        bitmap_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        bitmap_.setDevicePixelRatio(ratio);
    }
}

void TVaLEDDisplay::Loaded() {
    TVaDisplay::Loaded();
    // Property changes made while loading did not repaint.
    UpdateControlCanvas();
}

bool TVaLEDDisplay::LampOn(int32_t lamp) const {
    return lamp >= 1 && lamp <= LampCount && states_[lamp - 1];
}

void TVaLEDDisplay::UpdateDisplay(TComponent* sender) {
    auto* comm = dynamic_cast<TVaCustomComm*>(sender);
    if (comm == nullptr) {
        QApplication::beep();
        return;
    }
    // Each lamp takes its state as soon as it is read; a query that fails leaves the rest as
    // they were and raises before the repaint.
    for (int32_t line = 1; line <= 4; ++line) {
        states_[line - 1] = comm->GetModemStatus(line);
    }
    for (int32_t hold = 1; hold <= 5; ++hold) {
        states_[4 + hold - 1] = comm->GetComStat(hold);
    }
    UpdateControlCanvas();
}

void TVaLEDDisplay::Paint() {
    TVaGraphicControl::Paint();
    FitBitmap(); // the screen's pixel ratio may have changed since the last resize
    lampsShown_ = static_cast<int32_t>(std::count(show_.begin(), show_.end(), true));
    const int lampWidth = LampWidth(width(), displayMode_ == ltScale ? lampsShown_ : LampCount);

    QPainter canvas(&bitmap_);
    canvas.fillRect(rect(), ColorToQColor(color_, palette()));
    canvas.setFont(font());
    int x = 0;
    for (int32_t lamp = 0; lamp < LampCount; ++lamp) {
        if (show_[lamp]) {
            DrawLamp(canvas, lamp, x, lampWidth);
            x += lampWidth;
        }
    }
    canvas.end();

    QPainter(this).drawImage(0, 0, bitmap_);
}

void TVaLEDDisplay::DrawLamp(QPainter& canvas, int32_t lamp, int x, int lampWidth) {
    // The lamp covers x + 1 to x + lampWidth - 2 and the whole height, leaving a one-pixel gap
    // on either side; Qt's outline is one pixel wider and higher than the rectangle it gets.
    const QRect outline(x + 1, 0, lampWidth - 3, height() - 1);
    if (outline.width() >= 0 && outline.height() >= 0) {
        canvas.setPen(QPen(Qt::black, 0));
        canvas.setBrush(ColorToQColor(states_[lamp] ? onColor_ : offColor_, palette()));
        if (displayType_ == ltRectangle) {
            canvas.drawRect(outline);
        } else {
            canvas.drawEllipse(outline);
        }
    }
    if (displaycaption_) {
        const int vertical = displayType_ == ltRounded ? Qt::AlignVCenter : Qt::AlignTop;
        canvas.setPen(palette().color(QPalette::WindowText));
        canvas.drawText(QRect(x + 1, 0, lampWidth - 2, height()),
                        Qt::AlignHCenter | vertical | Qt::TextSingleLine, Labels[lamp]);
    }
}
