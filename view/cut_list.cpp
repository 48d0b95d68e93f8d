#include "view/cut_list.h"

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

}  // namespace tw
