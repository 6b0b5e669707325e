#pragma once

#include <array>

// Geometry shared by the header and the rows, in pixels: the first row's top, then offset and
// width of the number, Label, TX Freq and RX Freq columns, then the offsets of mode and Code.
inline constexpr std::array<int, 11> ColumnLayout{10, 0, 27, 37, 65, 112, 81, 203, 81, 294, 363};

inline constexpr int FirstRowTop = ColumnLayout[0];
inline constexpr int NumberOffset = ColumnLayout[1];
inline constexpr int NumberWidth = ColumnLayout[2];
inline constexpr int LabelOffset = ColumnLayout[3];
inline constexpr int LabelWidth = ColumnLayout[4];
inline constexpr int TxOffset = ColumnLayout[5];
inline constexpr int TxWidth = ColumnLayout[6];
inline constexpr int RxOffset = ColumnLayout[7];
inline constexpr int RxWidth = ColumnLayout[8];
inline constexpr int ModeOffset = ColumnLayout[9];
inline constexpr int CodeOffset = ColumnLayout[10];
inline constexpr int ModeWidth = 59;
inline constexpr int CodeWidth = 40;
inline constexpr int RowPitch = 24;
inline constexpr int RowLeft = 8;     // rows' left origin inside the panel
inline constexpr int HeaderLeft = 19; // header labels' origin in the window
inline constexpr int HeaderTop = 12;
inline constexpr int HeaderUpperTop = 0; // "     Sub-Audible" above "Mode"
inline constexpr int MemoryCount = 100;

inline constexpr int RowTop(int position) {
    return FirstRowTop + RowPitch * position;
}
