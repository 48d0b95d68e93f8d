#include "core/cut/cut_edit.h"

#include <algorithm>
#include <cstdlib>

#include "core/cut/hand_cut.h"

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

void CutHistory::Record(std::vector<double> before, std::vector<double> user, std::uint64_t revision) {
    entries_ += before.size() + user.size();
    steps_.push_back({std::move(before), std::move(user), revision});
    while (steps_.size() > 1 && entries_ > maxEntries_) {
        entries_ -= steps_.front().entries.size() + steps_.front().user.size();
        steps_.pop_front();
    }
}

bool CutHistory::Undo(CutList& list, std::vector<double>* user, std::uint64_t* revision) {
    if (steps_.empty()) return false;
    Step& step = steps_.back();
    entries_ -= step.entries.size() + step.user.size();
    list.Replace(std::move(step.entries));
    if (user) *user = std::move(step.user);
    if (revision) *revision = step.revision;
    steps_.pop_back();
    return true;
}

void CutHistory::Forget() {
    std::deque<Step>().swap(steps_);
    entries_ = 0;
}

void CutBook::Append(const std::vector<double>& positions, CutOrigin origin) {
    history_.Record(list_.Snapshot(), user_, revision_);
    for (double p : positions) list_.Append(p);
    NewRevision();
    if (origin != CutOrigin::User) return;
    user_.insert(user_.end(), positions.begin(), positions.end());
    std::stable_sort(user_.begin(), user_.end(), CutLess);
}

bool CutBook::RemoveAll(double position) {
    std::vector<double> before = list_.Snapshot();
    if (list_.RemoveAll(position) == 0) return false;
    history_.Record(std::move(before), user_, revision_);
    user_.erase(std::remove(user_.begin(), user_.end(), position), user_.end());
    NewRevision();
    return true;
}

bool CutBook::Move(double from, double to) {
    if (from == to) return false;
    std::vector<double> entries = list_.Snapshot();
    const auto at = std::find(entries.begin(), entries.end(), from);
    if (at == entries.end()) return false;
    history_.Record(entries, user_);
    *at = to;
    list_.Replace(std::move(entries));
    const auto mine = std::find(user_.begin(), user_.end(), from);
    if (mine != user_.end()) user_.erase(mine);
    user_.insert(std::upper_bound(user_.begin(), user_.end(), to, CutLess), to);
    return true;
}

bool CutBook::ClearAll() {
    if (list_.Count() == 0) return false;
    history_.Record(list_.Snapshot(), user_, revision_);
    list_.Clear();
    user_.clear();
    NewRevision();
    return true;
}

bool CutBook::Undo() { return history_.Undo(list_, &user_, &revision_); }

void CutBook::Reset() {
    list_.Clear();
    history_.Forget();
    user_.clear();
    NewRevision();
}

void CutBook::Split(std::vector<double>* automatic, std::vector<double>* user) const {
    std::vector<double> all = list_.Snapshot();
    std::stable_sort(all.begin(), all.end(), CutLess);
    automatic->clear();
    user->clear();
    // Both ascending: one walk pairs each of the user's with an equal entry.
    std::size_t u = 0;
    for (double c : all) {
        while (u < user_.size() && CutLess(user_[u], c)) ++u;
        if (u < user_.size() && user_[u] == c) {
            user->push_back(c);
            ++u;
        } else {
            automatic->push_back(c);
        }
    }
}

}  // namespace tw
