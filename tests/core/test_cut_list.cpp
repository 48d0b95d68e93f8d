#include <doctest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "core/cut/cut_list.h"

using namespace tw;

namespace {

std::vector<double> Filled(CutList& list, const std::vector<double>& values) {
    for (double v : values) list.Append(v);
    return list.Snapshot();
}

}  // namespace

TEST_CASE("cut list: appends keep their order and their duplicates") {
    CutList list;
    CHECK(list.Count() == 0);
    CHECK(list.Snapshot().empty());

    struct Row {
        const char* what;
        std::vector<double> appended;
    };
    const Row rows[] = {
        {"one", {4}},
        {"descending", {900, 104, 4}},
        {"same value twice", {104, 104}},
        {"duplicates apart", {50, 8, 50, 8, 50}},
        {"zero and large", {0, 4294967294.0, 1}},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        CutList l;
        CHECK(Filled(l, r.appended) == r.appended);
        CHECK(l.Count() == r.appended.size());
    }
}

TEST_CASE("cut list: an entry is the double itself") {
    CutList list;
    list.Append(4.0);
    std::vector<std::uint8_t> bytes;
    list.Read([&](const std::vector<double>& entries) {
        bytes.resize(entries.size() * 8);
        if (!entries.empty()) std::memcpy(bytes.data(), entries.data(), bytes.size());
    });
    const std::vector<std::uint8_t> four = {0, 0, 0, 0, 0, 0, 0x10, 0x40};  // little-endian 4.0
    CHECK(bytes == four);
}

TEST_CASE("cut list: sorting, and appends after it") {
    struct Row {
        const char* what;
        std::vector<double> before;
        std::vector<double> sorted;
        double appended;
        std::vector<double> after;
    };
    const Row rows[] = {
        {"mixed", {300, 4, 104, 4}, {4, 4, 104, 300}, 2, {4, 4, 104, 300, 2}},
        {"already sorted", {1, 2, 3}, {1, 2, 3}, 0, {1, 2, 3, 0}},
        {"larger behind", {9, 7}, {7, 9}, 100, {7, 9, 100}},
        {"empty", {}, {}, 6, {6}},
        {"negative", {5, -3, 0}, {-3, 0, 5}, -10, {-3, 0, 5, -10}},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        CutList list;
        Filled(list, r.before);
        CHECK(list.SortAndSnapshot() == r.sorted);
        // The sort is of the list's own storage, not of a copy.
        CHECK(list.Snapshot() == r.sorted);
        list.Append(r.appended);
        CHECK(list.Snapshot() == r.after);
        CHECK(list.Count() == r.after.size());
    }
}

TEST_CASE("cut list: odd values sort without harm") {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    CutList list;
    Filled(list, {nan, 8, -inf, nan, inf, 2, -0.0, 0.0, nan, 4});
    std::vector<double> sorted = list.SortAndSnapshot();
    REQUIRE(sorted.size() == 10);
    // Numbers ascending first, every NaN kept and last.
    const std::vector<double> numbers = {-inf, -0.0, 0.0, 2, 4, 8, inf};
    CHECK(std::equal(numbers.begin(), numbers.end(), sorted.begin()));
    for (std::size_t i = numbers.size(); i < sorted.size(); ++i) CHECK(std::isnan(sorted[i]));
    // Equal values keep their order: -0.0 was appended before 0.0.
    CHECK(std::signbit(sorted[1]));
    CHECK_FALSE(std::signbit(sorted[2]));

    // Many NaNs among many values: a comparator that is not a strict weak
    // order would let std::sort run off the storage here.
    CutList big;
    for (int i = 0; i < 5000; ++i) big.Append(i % 3 == 0 ? nan : static_cast<double>((i * 7919) % 1000));
    std::vector<double> s = big.SortAndSnapshot();
    REQUIRE(s.size() == 5000);
    auto firstNan = std::find_if(s.begin(), s.end(), [](double v) { return std::isnan(v); });
    CHECK(std::is_sorted(s.begin(), firstNan));
    CHECK(std::all_of(firstNan, s.end(), [](double v) { return std::isnan(v); }));
    CHECK(s.end() - firstNan == 1667);
}

TEST_CASE("cut list: the order used for sorting") {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        double a, b;
        bool less;
    };
    const Row rows[] = {
        {1, 2, true}, {2, 1, false}, {3, 3, false}, {-0.0, 0.0, false}, {0.0, -0.0, false},
        {1, nan, true}, {nan, 1, false}, {nan, nan, false},
        {std::numeric_limits<double>::infinity(), nan, true},
    };
    for (const Row& r : rows) {
        CAPTURE(r.a);
        CAPTURE(r.b);
        CHECK(CutLess(r.a, r.b) == r.less);
    }
}

TEST_CASE("cut list: removing a position takes every entry at it") {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row { std::vector<double> before; double removed; std::size_t count; std::vector<double> after; };
    const Row rows[] = {
        {{8, 4, 8, 2, 8}, 8, 3, {4, 2}},
        {{8, 4}, 5, 0, {8, 4}},
        {{}, 5, 0, {}},
        {{0.0, 3}, -0.0, 1, {3}},  // equal as numbers
        {{nan, 3}, nan, 0, {3}},   // NaN equals nothing: its entry stays
    };
    for (const Row& r : rows) {
        CAPTURE(r.removed);
        CutList list;
        Filled(list, r.before);
        CHECK(list.RemoveAll(r.removed) == r.count);
        std::vector<double> got = list.Snapshot();
        if (r.removed != r.removed) got.erase(got.begin());  // the NaN, compared by hand
        CHECK(got == r.after);
    }
}

TEST_CASE("cut list: clearing releases everything") {
    CutList list;
    Filled(list, {4, 6, 8});
    list.Clear();
    CHECK(list.Count() == 0);
    CHECK(list.Snapshot().empty());
    list.Append(10);
    CHECK(list.Snapshot() == std::vector<double>{10});
}

TEST_SUITE("threads") {
TEST_CASE("cut list: appends beside sorts and reads lose or tear nothing") {
    // Each appender writes its own values t * kStride + k in order k = 0, 1, ...
    // so any view of the list can be checked against what was appended.
    constexpr int kAppenders = 3;
    constexpr int kPerAppender = 1500;
    constexpr double kStride = 1e6;
    CutList list;
    std::atomic<int> done[kAppenders];
    for (auto& d : done) d = 0;
    std::atomic<int> appendersLeft{kAppenders};
    std::atomic<int> views{0};

    // A view is consistent when it holds, for each appender, exactly its first
    // m values (m at least what had been appended before the view was taken),
    // each once, in increasing order: appends only add behind and the sort
    // keeps one appender's values in the order they were appended.
    auto check = [&](const std::vector<double>& view, const int (&doneBefore)[kAppenders], bool sorted,
                     std::string* error) {
        int seen[kAppenders] = {0};
        for (std::size_t i = 0; i < view.size(); ++i) {
            double v = view[i];
            if (!(v >= 0 && v < kAppenders * kStride)) {
                *error = "foreign value " + std::to_string(v);
                return false;
            }
            int t = static_cast<int>(v / kStride);
            double k = v - t * kStride;
            if (k != std::floor(k) || k >= kPerAppender) {
                *error = "foreign value " + std::to_string(v);
                return false;
            }
            if (static_cast<int>(k) != seen[t]) {
                *error = "appender " + std::to_string(t) + " value " + std::to_string(k) + " where " +
                         std::to_string(seen[t]) + " belongs";
                return false;
            }
            ++seen[t];
            if (sorted && i > 0 && view[i - 1] > v) {
                *error = "not ascending";
                return false;
            }
        }
        for (int t = 0; t < kAppenders; ++t) {
            if (seen[t] < doneBefore[t]) {
                *error = "appender " + std::to_string(t) + " lost entries";
                return false;
            }
        }
        return true;
    };

    std::vector<std::string> errors(3);
    auto reader = [&](int kind, std::string* error) {
        while (appendersLeft.load() > 0 && error->empty()) {
            int before[kAppenders];
            for (int t = 0; t < kAppenders; ++t) before[t] = done[t].load();
            std::vector<double> view;
            bool sorted = false;
            if (kind == 0) {
                view = list.SortAndSnapshot();
                sorted = true;
            } else if (kind == 1) {
                view = list.Snapshot();
            } else {
                list.Read([&](const std::vector<double>& entries) { view = entries; });
            }
            check(view, before, sorted, error);
            ++views;
        }
    };

    std::vector<std::thread> threads;
    for (int kind = 0; kind < 3; ++kind) threads.emplace_back(reader, kind, &errors[kind]);
    for (int t = 0; t < kAppenders; ++t) {
        threads.emplace_back([&, t] {
            for (int k = 0; k < kPerAppender; ++k) {
                list.Append(t * kStride + k);
                ++done[t];
                if (k % 64 == 0) std::this_thread::yield();
            }
            --appendersLeft;
        });
    }
    for (auto& th : threads) th.join();

    for (const std::string& e : errors) CHECK_MESSAGE(e.empty(), e);
    CHECK(views.load() > 0);
    CHECK(list.Count() == static_cast<std::size_t>(kAppenders * kPerAppender));
    std::vector<double> all = list.SortAndSnapshot();
    int full[kAppenders];
    for (int& f : full) f = kPerAppender;
    std::string error;
    CHECK_MESSAGE(check(all, full, true, &error), error);
}

TEST_CASE("cut list: duplicates appended from several threads all stay") {
    CutList list;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int k = 0; k < 500; ++k) list.Append(static_cast<double>(k % 5));
        });
    threads.emplace_back([&] {
        for (int k = 0; k < 50; ++k) list.SortAndSnapshot();
    });
    for (auto& th : threads) th.join();
    std::vector<double> all = list.SortAndSnapshot();
    REQUIRE(all.size() == 2000);
    for (int v = 0; v < 5; ++v) CHECK(std::count(all.begin(), all.end(), static_cast<double>(v)) == 400);
}
}
