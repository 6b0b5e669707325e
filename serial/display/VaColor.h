/// @file
/// The framework's colour TColor, its named colours and the conversion to Qt's.
#pragma once

#include <q4471/framework/Export.h>

#include <QColor>
#include <cstdint>

class QPalette;

/// The framework's colour: 0x00BBGGRR for a fixed colour; with the top byte 0xFF, one of the
/// system's colours by index, taken from the control's palette when drawn so that it follows the
/// desktop's theme.
using TColor = uint32_t;

/// Black.
inline constexpr TColor clBlack = 0x000000;
/// White.
inline constexpr TColor clWhite = 0xFFFFFF;
/// Dark blue, 0x000080 in RGB.
inline constexpr TColor clNavy = 0x800000;
/// Blue, 0x0000FF in RGB.
inline constexpr TColor clBlue = 0xFF0000;
/// The background of windows that hold text, as edit boxes have it.
inline constexpr TColor clWindow = 0xFF000005;

/// The one conversion from the framework's colour to Qt's; system colours come from `palette`.
Q4471_API QColor ColorToQColor(TColor color, const QPalette& palette);
