#pragma once

#include "memories/MemoryTable.h"

#include <QScrollArea>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// A memory table as the window builds it, in a scrolling panel of its own.
class MemoryTableFixture : public ::testing::Test {
protected:
    MemoryTableFixture() { BuildMemoryRows(&panel, rows); }

    TMemoryRow& Row(int number) { return *rows[static_cast<size_t>(number)]; }

    // Label, TX Freq, RX Freq, mode and Code of memory `number`, as the getters return them.
    std::vector<std::string> ValuesOf(int number);
    void SetValues(int number, const std::vector<std::string>& values);

    QScrollArea panel;
    TMemoryRows rows;
};
