#include "cut/cut_edit.h"

#include <cstdlib>

#include "cut/hand_cut.h"

namespace tw {

bool NearestCutLine(const std::vector<double>& entries, std::int32_t x, std::int32_t width,
                    std::uint64_t dataSize, std::int32_t reach, double* position) {
    bool found = false;
    std::int64_t best = 0;
    for (double e : entries) {
        std::int32_t column;
        if (!CutLineColumn(e, width, dataSize, &column)) continue;
        const std::int64_t distance = std::llabs(static_cast<std::int64_t>(column) - x);
        if (distance > reach) continue;
        if (!found || distance < best || (distance == best && e < *position)) {
            found = true;
            best = distance;
            *position = e;
        }
    }
    return found;
}

void CutHistory::Record(std::vector<double> before) {
    entries_ += before.size();
    steps_.push_back(std::move(before));
    while (steps_.size() > 1 && entries_ > maxEntries_) {
        entries_ -= steps_.front().size();
        steps_.pop_front();
    }
}

bool CutHistory::Undo(CutList& list) {
    if (steps_.empty()) return false;
    entries_ -= steps_.back().size();
    list.Replace(std::move(steps_.back()));
    steps_.pop_back();
    return true;
}

void CutHistory::Forget() {
    std::deque<std::vector<double>>().swap(steps_);
    entries_ = 0;
}

void CutBook::Append(const std::vector<double>& positions) {
    history_.Record(list_.Snapshot());
    for (double p : positions) list_.Append(p);
}

bool CutBook::RemoveAll(double position) {
    std::vector<double> before = list_.Snapshot();
    if (list_.RemoveAll(position) == 0) return false;
    history_.Record(std::move(before));
    return true;
}

bool CutBook::ClearAll() {
    if (list_.Count() == 0) return false;
    history_.Record(list_.Snapshot());
    list_.Clear();
    return true;
}

void CutBook::Reset() {
    list_.Clear();
    history_.Forget();
}

}  // namespace tw
