#include <doctest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/cut/cut_edit.h"

using namespace tw;

TEST_CASE("cut edit: the line nearest a click, within reach") {
    // D = 11400 bytes at W = 570: entry e has its line at floor(e / 10 - 1).
    const std::uint32_t D = 11400;
    const double none = -1;
    struct Row { const char* what; std::vector<double> entries; std::int32_t x; double found; };
    const Row rows[] = {
        {"no entries", {}, 100, none},
        {"on the line", {1010}, 100, 1010},
        {"five columns left", {1060}, 100, 1060},
        {"five columns right", {960}, 100, 960},
        {"six columns away", {1070, 950}, 100, none},
        {"nearer wins", {1050, 980}, 100, 980},
        {"equally near: the lower", {1040, 980}, 100, 980},
        {"same column: the lower", {1019, 1010}, 100, 1010},
        {"duplicates", {1010, 1010}, 100, 1010},
        {"line left of the bitmap", {4}, 0, 4},
        {"NaN has no line", {NAN}, 0, none},
        {"beyond the data", {20000}, 569, none},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        double p = none;
        const bool found = NearestCutLine(r.entries, r.x, 570, D, kCutLineReach, &p);
        CHECK(found == (r.found != none));
        CHECK(p == r.found);
    }
    double p = none;
    CHECK_FALSE(NearestCutLine({1010}, 100, 570, 0, kCutLineReach, &p));  // no data, no lines
}

TEST_CASE("cut edit: undo steps over mixed changes") {
    // Each change records the list before it, as the window does; a save
    // sorts without recording. 'a' appends a batch, 'd' removes a position,
    // 'c' clears, 's' saves, 'u' undoes.
    struct Op { char kind; std::vector<double> values; };
    struct Row { const char* what; std::vector<Op> ops; std::vector<double> after; std::size_t stepsLeft; };
    const Row rows[] = {
        {"nothing to undo", {{'u', {}}}, {}, 0},
        {"an auto run goes at once", {{'a', {4, 8}}, {'a', {30, 10, 20}}, {'u', {}}}, {4, 8}, 1},
        {"a click after a save", {{'a', {9, 3}}, {'s', {}}, {'a', {5}}, {'u', {}}}, {3, 9}, 1},
        {"back over a save", {{'a', {9, 3}}, {'a', {1}}, {'s', {}}, {'u', {}}}, {9, 3}, 1},
        {"a deletion of duplicates", {{'a', {6, 2, 6}}, {'d', {6}}, {'u', {}}}, {6, 2, 6}, 1},
        {"a clear", {{'a', {6, 2}}, {'c', {}}, {'u', {}}}, {6, 2}, 1},
        {"all the way back", {{'a', {1}}, {'a', {2}}, {'d', {1}}, {'c', {}}, {'u', {}}, {'u', {}}, {'u', {}}, {'u', {}}},
         {}, 0},
        {"undo then change", {{'a', {1}}, {'a', {2}}, {'u', {}}, {'a', {3}}, {'u', {}}}, {1}, 1},
        {"one undo too many", {{'a', {7}}, {'u', {}}, {'u', {}}}, {}, 0},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        CutList list;
        CutHistory history;
        for (const Op& op : r.ops) {
            if (op.kind == 's') {
                list.SortAndSnapshot();
            } else if (op.kind == 'u') {
                const bool could = history.CanUndo();
                CHECK(history.Undo(list) == could);
            } else {
                history.Record(list.Snapshot());
                if (op.kind == 'a') for (double v : op.values) list.Append(v);
                if (op.kind == 'd') list.RemoveAll(op.values[0]);
                if (op.kind == 'c') list.Clear();
            }
        }
        CHECK(list.Snapshot() == r.after);
        CHECK(history.Steps() == r.stepsLeft);
    }
}

TEST_CASE("cut edit: old steps go once the kept entries pass the bound") {
    CutHistory history(10);
    CutList list;
    for (int step = 1; step <= 6; ++step) {  // before-lists of 0, 1, ..., 5 entries
        history.Record(list.Snapshot());
        list.Append(step);
    }
    // 0+1+2+3+4+5 = 15 > 10: the oldest go until 4+5 = 9 entries are kept.
    CHECK(history.Steps() == 2);
    std::vector<std::size_t> seen;
    while (history.Undo(list)) seen.push_back(list.Count());
    CHECK(seen == std::vector<std::size_t>{5, 4});
    // A single step larger than the bound is still kept.
    CutHistory small(1);
    small.Record({1, 2, 3});
    CHECK(small.Steps() == 1);
}

TEST_CASE("the cut book records every change it makes, and only those") {
    CutBook book;
    book.Append({30, 10});
    book.Append({20});
    CHECK(book.List().Snapshot() == std::vector<double>{30, 10, 20});
    CHECK_FALSE(book.RemoveAll(99));  // nothing removed: no step
    CHECK(book.RemoveAll(10));
    CHECK_FALSE(book.Move(99, 1));  // no cut there
    CHECK_FALSE(book.Move(30, 30));  // not moved
    CHECK(book.Move(30, 40));        // in its place in the list
    CHECK(book.List().Snapshot() == std::vector<double>{40, 20});
    CHECK(book.ClearAll());
    CHECK_FALSE(book.ClearAll());
    CHECK(book.UndoSteps() == 5);
    const std::vector<std::vector<double>> back = {{40, 20}, {30, 20}, {30, 10, 20}, {30, 10}, {}};
    for (const auto& want : back) {
        REQUIRE(book.Undo());
        CHECK(book.List().Snapshot() == want);
    }
    CHECK_FALSE(book.Undo());
    book.Append({5});
    book.Reset();
    CHECK(book.List().Count() == 0);
    CHECK_FALSE(book.CanUndo());
}

TEST_CASE("the cut book's revision: a new one at each change, the old one back at an undo") {
    // The revision after `before` is remembered (a save); after `after`, the
    // cuts are the saved ones exactly when `same`.
    struct Row { const char* what; std::vector<char> before, after; bool same; };
    const Row rows[] = {
        {"nothing done since", {'a'}, {}, true},
        {"a cut added", {'a'}, {'a'}, false},
        {"a cut added and undone", {'a'}, {'a', 'u'}, true},
        {"undone past the save", {'a', 'a'}, {'u'}, false},
        {"undone, then another cut", {'a'}, {'a', 'u', 'a'}, false},
        {"a removal that removes nothing", {'a'}, {'n'}, true},
        {"a cut removed", {'a'}, {'d'}, false},
        {"cleared", {'a'}, {'c'}, false},
        {"a clear of nothing", {'c'}, {'c'}, true},
        {"sorted by a save", {'a', 'a'}, {'s'}, true},
        {"reset (a new recording)", {}, {'r'}, false},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        CutBook book;
        double next = 10;
        auto run = [&](char op) {
            switch (op) {
                case 'a': book.Append({next--}); break;
                case 'u': book.Undo(); break;
                case 'n': book.RemoveAll(999); break;
                case 'd': book.RemoveAll(10); break;
                case 'c': book.ClearAll(); break;
                case 's': book.List().SortAndSnapshot(); break;
                default: book.Reset(); break;
            }
        };
        for (char op : r.before) run(op);
        const std::uint64_t saved = book.Revision();
        for (char op : r.after) run(op);
        CHECK((book.Revision() == saved) == r.same);
    }
}

TEST_CASE("the cut book keeps each cut's origin through every change and its undo") {
    // 'a' automatic batch, 'h' the user's batch, 'd' removes a position, 'c'
    // clears, 's' saves (sorts the list), 'x' clears the list behind the
    // book's back (as a test does), 'm' moves {from, to}, 'u' undoes.
    using V = std::vector<double>;
    struct Op { char kind; V values; };
    struct Row { const char* what; std::vector<Op> ops; V automatic, user; };
    const Row rows[] = {
        {"origins apart", {{'a', {30, 10}}, {'h', {20, 5}}}, {10, 30}, {5, 20}},
        {"the same place from both", {{'a', {10}}, {'h', {10}}}, {10}, {10}},
        {"undo takes the user's batch back", {{'a', {10}}, {'h', {20, 40}}, {'u', {}}}, {10}, {}},
        {"undo brings a removed user cut back as the user's", {{'h', {20}}, {'a', {20, 30}}, {'d', {20}}, {'u', {}}},
         {20, 30}, {20}},
        {"undo of a clear", {{'h', {7}}, {'a', {3}}, {'c', {}}, {'u', {}}}, {3}, {7}},
        {"a save keeps origins", {{'h', {9}}, {'a', {4, 1}}, {'s', {}}}, {1, 4}, {9}},
        {"a list emptied behind its back", {{'h', {9}}, {'a', {4}}, {'x', {}}}, {}, {}},
        {"all the way back", {{'h', {1}}, {'a', {2}}, {'u', {}}, {'u', {}}}, {}, {}},
        {"a moved automatic cut is the user's", {{'a', {10, 30}}, {'m', {30, 20}}}, {10}, {20}},
        {"a moved user cut stays the user's", {{'h', {10, 30}}, {'m', {10, 40}}}, {}, {30, 40}},
        {"one of two at a place moves", {{'a', {10}}, {'h', {10}}, {'m', {10, 50}}}, {10}, {50}},
        {"undo of a move", {{'a', {10, 30}}, {'m', {30, 20}}, {'u', {}}}, {10, 30}, {}},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        CutBook book;
        for (const Op& op : r.ops) {
            switch (op.kind) {
                case 'a': book.Append(op.values); break;
                case 'h': book.Append(op.values, CutOrigin::User); break;
                case 'd': book.RemoveAll(op.values[0]); break;
                case 'c': book.ClearAll(); break;
                case 'm': book.Move(op.values[0], op.values[1]); break;
                case 's': book.List().SortAndSnapshot(); break;
                case 'x': book.List().Clear(); break;
                default: book.Undo(); break;
            }
        }
        V automatic, user;
        book.Split(&automatic, &user);
        CHECK(automatic == r.automatic);
        CHECK(user == r.user);
    }
}
