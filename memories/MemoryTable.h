#pragma once

#include "memories/ColumnLayout.h"
#include "memories/MemoryRow.h"

#include <array>
#include <memory>

class QLabel;
class QScrollArea;
class QWidget;

// Slots 1 to 100 hold the memory rows, by memory number; slot 0 holds none.
using TMemoryRows = std::array<std::unique_ptr<TMemoryRow>, MemoryCount + 1>;
using THeaderLabels = std::array<QLabel*, 7>;

// The row of memory `number`, or none when the table has no such memory.
TMemoryRow* MemoryRowOf(const TMemoryRows& rows, long long number);

// The column titles, placed on the window so that they stay put while the rows scroll.
THeaderLabels BuildHeaderLabels(QWidget* window);

// The 100 rows inside the scrolling panel, in creation (and so tab) order.
void BuildMemoryRows(QScrollArea* panel, TMemoryRows& rows);
