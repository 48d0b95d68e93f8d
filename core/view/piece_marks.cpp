#include "core/view/piece_marks.h"

#include <algorithm>

#include "core/cut/hand_cut.h"

namespace tw {

PieceMarks MarksOfPlan(const SavePlan& plan, std::uint32_t sampleBytes, std::uint64_t count, std::uint64_t scaleSize) {
    PieceMarks marks;
    marks.count = count;
    marks.scaleSize = scaleSize;
    const std::uint64_t bytes = std::max<std::uint32_t>(1, sampleBytes);
    for (const Piece& p : plan.uncut) marks.starts.push_back(p.offset / bytes);
    if (marks.starts.empty()) marks.starts.push_back(0);
    marks.starts[0] = 0;
    const std::vector<Piece>& written = plan.save.pieces;
    for (std::size_t k = 0; k < plan.uncut.size() && k < written.size(); ++k) {
        const Piece& whole = plan.uncut[k];
        const Piece& kept = written[k];
        if (kept.offset > whole.offset) marks.dropped.push_back({whole.offset / bytes, kept.offset / bytes});
        const std::uint64_t keptEnd = kept.offset + kept.length, wholeEnd = whole.offset + whole.length;
        if (keptEnd < wholeEnd) marks.dropped.push_back({keptEnd / bytes, wholeEnd / bytes});
    }
    marks.leftOut.assign(marks.starts.size(), false);
    return marks;
}

std::int32_t BoundaryColumn(std::uint64_t value, std::int32_t width, std::uint64_t scaleSize) {
    std::int32_t column = -1;
    if (!CutLineColumn(static_cast<double>(value), width, scaleSize, &column)) return -1;
    return std::min(std::max(column, -1), width);
}

ColumnSpan PieceColumns(const PieceMarks& marks, std::size_t k, std::int32_t width) {
    const std::int32_t first = k == 0 ? 0 : BoundaryColumn(marks.starts[k], width, marks.scaleSize) + 1;
    const std::int32_t last =
        k + 1 < marks.starts.size() ? BoundaryColumn(marks.starts[k + 1], width, marks.scaleSize) : width - 1;
    return {first, last};
}

ColumnSpan StretchColumns(const ValueStretch& s, std::int32_t width, std::uint64_t scaleSize) {
    return {BoundaryColumn(s.from, width, scaleSize) + 1, BoundaryColumn(s.to, width, scaleSize)};
}

}  // namespace tw
