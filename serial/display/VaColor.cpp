#include <q4471/serial/display/VaColor.h>

#include <QPalette>

namespace {

constexpr TColor SystemColorFlag = 0xFF000000;

// The system colour indices that have a counterpart among Qt's palette roles.
QPalette::ColorRole RoleOf(TColor index) {
    switch (index) {
    case 5: // the window background
        return QPalette::Base;
    case 8: // the window text
        return QPalette::Text;
    case 15: // the face of buttons
        return QPalette::Button;
    default:
        return QPalette::Window;
    }
}

} // namespace

QColor ColorToQColor(TColor color, const QPalette& palette) {
    if ((color & SystemColorFlag) == SystemColorFlag) {
        return palette.color(RoleOf(color & ~SystemColorFlag));
    }
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}
