// Editing the cut list after the fact: which line a click on the graph means,
// and undo of every change to the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "core/cut/cut_list.h"

namespace tw {

// How far from a line, in columns of the current zoom, a click still means it.
constexpr std::int32_t kCutLineReach = 5;

// The entry whose line (at CutLineColumn) is nearest column x, at most `reach`
// columns away; of lines equally near, the lower position. False when no line
// is that near (or there is no data to place lines on).
bool NearestCutLine(const std::vector<double>& entries, std::int32_t x, std::int32_t width,
                    std::uint64_t dataSize, std::int32_t reach, double* position);

// Undo steps of the cut list: each change records the entries as they were
// before it, and Undo puts the newest of those back. Not locked: one thread
// (the window's) makes every change. Steps are kept until the entries they
// hold together pass maxEntries; then the oldest go (the newest always stays).
class CutHistory {
public:
    static constexpr std::size_t kDefaultMaxEntries = std::size_t(1) << 22;  // 32 MiB of doubles

    explicit CutHistory(std::size_t maxEntries = kDefaultMaxEntries) : maxEntries_(maxEntries) {}
    CutHistory(const CutHistory&) = delete;
    CutHistory& operator=(const CutHistory&) = delete;

    // `user`: which of them were the user's (see CutBook), kept with the step;
    // `revision`: the book's revision before the change, given back by Undo.
    void Record(std::vector<double> before, std::vector<double> user = {}, std::uint64_t revision = 0);
    bool CanUndo() const { return !steps_.empty(); }
    std::size_t Steps() const { return steps_.size(); }
    // Replaces the list's entries with the last recorded ones (and *user, when
    // given, with the user's among them, and *revision with the step's);
    // false when there is nothing to undo.
    bool Undo(CutList& list, std::vector<double>* user = nullptr, std::uint64_t* revision = nullptr);
    void Forget();

private:
    struct Step {
        std::vector<double> entries, user;
        std::uint64_t revision;
    };
    std::size_t maxEntries_;
    std::size_t entries_ = 0;
    std::deque<Step> steps_;
};

// Where a cut came from. The piece rules move and remove automatic cuts only.
enum class CutOrigin { Automatic, User };

// The cut list and its undo in one owner: every change made through it
// records the step that takes it back, so no caller can forget to. Changes
// come from one thread (the window's); readers on any thread use List(),
// whose own lock keeps them safe.
class CutBook {
public:
    CutList& List() { return list_; }
    const CutList& List() const { return list_; }

    // One undo step for the whole batch (an automatic run goes back at once).
    // User: clicks and label files; Automatic: automatic and pause cutting.
    void Append(const std::vector<double>& positions, CutOrigin origin = CutOrigin::Automatic);
    // Each is one undo step when it changes anything; false when it did not.
    bool RemoveAll(double position);
    // One entry at `from` (the first in list order) now at `to`, in its place
    // in the list; the cut is the user's from then on, since the user chose
    // where it lies. False when there is none at `from` or it would not move.
    bool Move(double from, double to);
    bool ClearAll();
    bool Undo();
    bool CanUndo() const { return history_.CanUndo(); }
    std::size_t UndoSteps() const { return history_.Steps(); }
    // Empty, with nothing to undo (a new window).
    void Reset();
    // The list's entries by origin, each ascending. An entry counts as the
    // user's while the user placed as many at its position as the list holds
    // (a list changed behind the book's back keeps what is left in it).
    void Split(std::vector<double>* automatic, std::vector<double>* user) const;
    // Which state of the cuts this is: every change (a reset too) makes a
    // number never used before, and an undo goes back to the number of the
    // state it restores. Equal revisions are the same cuts, so a window knows
    // whether its cuts are the ones last saved without comparing lists.
    std::uint64_t Revision() const { return revision_; }

private:
    void NewRevision() { revision_ = ++lastRevision_; }

    std::uint64_t revision_ = 0;
    std::uint64_t lastRevision_ = 0;
    CutList list_;
    CutHistory history_;
    std::vector<double> user_;  // positions the user placed, ascending (window's thread only)
};

}  // namespace tw
