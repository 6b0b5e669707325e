#pragma once

#include "memories/MemoryTable.h"

#include <QColor>
#include <array>

// The look of the memories' number boxes, decided here alone so that one state never paints over
// another: a range of several chosen memories shows in the selection's colours, a memory that the
// last verify found differing in the warning colour, and one that is both in the warning colour
// with the selection's colour for its text. GUI thread only.
class TNumberBoxLook {
public:
    // Qt's palette has no role for a warning; amber with black text reads as one on light and
    // dark themes alike.
    static inline const QColor WarningColour{0xff, 0xc1, 0x07};

    explicit TNumberBoxLook(const TMemoryRows& rows) : rows_(rows) {}

    // Memories `first` to `last` are chosen; one memory alone, or 0, shows no range.
    void Select(int first, int last);
    void SetDiffering(int memory, bool differing);

private:
    void Paint(int memory);

    const TMemoryRows& rows_;
    int first_ = 0;
    int last_ = 0;
    std::array<bool, MemoryCount + 1> differing_{};
};
