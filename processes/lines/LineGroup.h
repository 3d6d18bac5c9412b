// One piece of a ruled line as line removal handles it: its record, the dark
// run of every column it covers and, once it is erased with reconstruction
// on, the rows erased in every column. Plain data, O(columns).
#pragma once

#include "processes/lines/LineRecord.h"

#include <cstdint>
#include <limits>
#include <vector>

// The dark run of one column: rows top + 1 .. bottom are dark, so the
// thickness is bottom - top (0 for a column where no dark pixel was found,
// whose pair is (row, row)).
struct ColumnRun {
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    int thickness() const { return bottom - top; }
};

// The rows erased in one column; lowest > highest while none is.
struct ErasedRows {
    static constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::max();
    std::int32_t lowest = kNone;
    std::int32_t highest = std::numeric_limits<std::int32_t>::min();
    bool empty() const { return lowest > highest; }
    void widen(int row) {
        if (row < lowest) lowest = row;
        if (row > highest) highest = row;
    }
};

struct LineGroup {
    // The piece's record, held by the signature's horizontal list.
    LineRecord* line = nullptr;
    // One run per column x1 .. x2 - 1 of the piece.
    std::vector<ColumnRun> profile;
    // One pair per profile column; empty until the piece gets its list.
    std::vector<ErasedRows> erased;
    bool hasErasedRows() const { return !erased.empty(); }
    // The piece's median thickness, kept in the record's label.
    int thickness() const { return line->label; }
};
