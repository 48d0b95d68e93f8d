// What the graph shows of a save's plan: where each piece starts, the
// stretches a margin leaves out and the pieces the user left out, in values
// (sample positions) of the recording, and the columns they fall on.
#pragma once

#include <cstdint>
#include <vector>

#include "core/cut/save_plan.h"

namespace tw {

struct ValueStretch {
    std::uint64_t from;  // values [from, to)
    std::uint64_t to;
};

struct PieceMarks {
    std::uint64_t recording = 0;       // which recording they are for
    std::uint64_t count = 0;           // values of the recording
    std::uint64_t scaleSize = 0;       // D, which cut lines are placed by (CutLineColumn)
    std::vector<std::uint64_t> starts; // first value of each piece, ascending (starts[0] = 0)
    std::vector<ValueStretch> dropped; // silence a margin leaves out
    std::vector<bool> leftOut;         // per piece: not to be written
};

// The marks of a plan of `count` samples of sampleBytes, D = scaleSize.
PieceMarks MarksOfPlan(const SavePlan& plan, std::uint32_t sampleBytes, std::uint64_t count, std::uint64_t scaleSize);

// The column a piece boundary's line is drawn in: the column of a cut at that
// value (CutLineColumn), kept within [-1, width].
std::int32_t BoundaryColumn(std::uint64_t value, std::int32_t width, std::uint64_t scaleSize);

// Piece k's ground in columns [first, last] (empty when last < first): right
// of its start's line up to and including the next piece's line.
struct ColumnSpan {
    std::int32_t first;
    std::int32_t last;
};
ColumnSpan PieceColumns(const PieceMarks& marks, std::size_t k, std::int32_t width);
ColumnSpan StretchColumns(const ValueStretch& s, std::int32_t width, std::uint64_t scaleSize);

}  // namespace tw
