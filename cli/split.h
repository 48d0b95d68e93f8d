// tarnwick-split: the window's cutting and saving from the command line, one
// or many files per run. Portable; the files and the console are reached
// through core/support/file_io.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/split_options.h"

namespace tw {

// Where the texts go, all UTF-8: out the listing, summaries and help, json
// the --json lines (for scripts: never re-encoded), err every failure.
struct SplitIo {
    std::function<void(const std::string& text)> out;
    std::function<void(const std::string& text)> err;
    std::function<void(const std::string& text)> json;
    // Windows: the files an input name with * or ? stands for (its shell does
    // not expand them). Empty: names are taken as they are.
    std::function<std::vector<std::string>(const std::string& name)> expand;
};

// Exit status: 0 when every piece of every file was written (or, with -n,
// planned), 1 when anything failed, 2 for a usage error.
int RunSplit(const std::vector<std::string>& args, const SplitIo& io);

// Exit statuses.
constexpr int kSplitOk = 0;
constexpr int kSplitFailed = 1;
constexpr int kSplitUsage = 2;

// Failure texts, the window's own where it has one; messages are
// "<file>: <text>" with the system's reason in brackets where there is one.
extern const char* const kSplitCannotOpen;
extern const char* const kSplitCannotRead;
extern const char* const kSplitNotWave;
extern const char* const kSplitNoData;
extern const char* const kSplitUnsupported;
extern const char* const kSplitNoMemory;

}  // namespace tw
