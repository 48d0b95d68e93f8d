// The process-wide list of cut positions (sample indices as doubles).
// Appends, the in-place sort and every reading pass take one mutex, so a
// reader on another thread never sees storage that is being moved.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

namespace tw {

class CutList {
public:
    CutList() = default;
    CutList(const CutList&) = delete;
    CutList& operator=(const CutList&) = delete;

    void Append(double position);
    std::size_t Count() const;
    std::vector<double> Snapshot() const;          // entries in list order
    std::vector<double> SortAndSnapshot();         // sorts in place, ascending
    void Clear();                                  // empty, storage released
    std::size_t RemoveAll(double position);        // every entry equal to it; how many
    void Replace(std::vector<double> entries);     // the list becomes exactly these

    // Runs f(const std::vector<double>&) with the lock held; f must not send
    // window messages or wait for other threads.
    template <class F>
    void Read(F&& f) const {
        std::lock_guard<std::mutex> lock(mutex_);
        f(entries_);
    }

private:
    mutable std::mutex mutex_;
    std::vector<double> entries_;
};

// Ascending order that is total even for NaN (NaN last), so a sort can never
// misbehave on odd values.
bool CutLess(double a, double b);

}  // namespace tw
