// tarnwick-split: the window's cutting and saving from the command line, one
// or many files per run. Portable; the files and the console are reached
// through core/support/file_io.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/cut/auto_cut.h"
#include "core/view/zoom_scroll.h"  // the graph's widths

namespace tw {

// A -c cut: a sample index, or a time in seconds placed on the input's frames.
struct SplitCut {
    double value;
    bool seconds;
};

struct SplitOptions {
    bool autoCut = false;
    bool haveThreshold = false;
    std::string threshold;        // -t, read as the threshold box reads it (a number or "-40dB")
    bool pauseCut = false;        // -p: cut in the pauses instead
    double pauseMs = 0;           // -p, the shortest pause in milliseconds
    std::int32_t width = kGraphStartWidth;  // -w
    std::vector<SplitCut> cuts;   // -c, in the order given
    bool havePrefix = false;
    std::string prefix;           // -o
    std::string folder;           // -d: every input's pieces go there
    std::uint32_t digits = 3;     // --digits
    double longestSeconds = 0;    // --max: no piece longer
    double shortestSeconds = 0;   // --min: no piece shorter where an automatic cut can go
    std::uint32_t pieceCount = 0; // --pieces: this many pieces, at the best pauses
    double marginMs = -1;         // --margin: the silence kept around each piece's sound (< 0: all of it)
    std::string namesFile;        // --names: piece names, one a line
    std::string labelsFile;       // --labels: the label file to write
    std::string cutsFrom;         // --cuts-from: a label file whose times are cuts
    bool dryRun = false;          // -n
    bool json = false;            // --json
    std::vector<std::string> inputs;
};

enum class ArgsOutcome { Run, Help, Usage };

// args without the program name. On Usage, *error says what is wrong.
ArgsOutcome ParseSplitArguments(const std::vector<std::string>& args, SplitOptions* options, std::string* error);

// The input's path without a final ".wav" (any case).
std::string DefaultPiecePrefix(const std::string& path);
// A -c value: a whole sample index ("22050"), seconds ("83.5s") or a clock
// time ("1:23.5", "1:02:03"). False when it is none of them.
bool ParseCutValue(const std::string& text, SplitCut* cut);

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
