#include "core/cut/cut_list.h"

#include <algorithm>
#include <cmath>

namespace tw {

bool CutLess(double a, double b) {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

void CutList::Append(double position) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(position);
}

std::size_t CutList::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

std::vector<double> CutList::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
}

std::vector<double> CutList::SortAndSnapshot() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::stable_sort(entries_.begin(), entries_.end(), CutLess);
    return entries_;
}

void CutList::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<double>().swap(entries_);
}

std::size_t CutList::RemoveAll(double position) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t before = entries_.size();
    entries_.erase(std::remove(entries_.begin(), entries_.end(), position), entries_.end());
    return before - entries_.size();
}

void CutList::Replace(std::vector<double> entries) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.swap(entries);
}

}  // namespace tw
