// tarnwick-split's options: what the command line asks for, read and checked
// before any file is touched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
    std::string folder;           // -d: every input's pieces go there (made when missing)
    bool folderPerInput = false;  // --folder-per-input: talk.wav's pieces in a folder "talk"
    bool overwrite = false;       // --overwrite: pieces of the same names are replaced
    std::uint32_t digits = 3;     // --digits
    double longestSeconds = 0;    // --max: no piece longer
    double shortestSeconds = 0;   // --min: no piece shorter where an automatic cut can go
    std::uint32_t pieceCount = 0; // --pieces: this many pieces, at the best pauses
    double marginMs = -1;         // --margin: the silence kept around each piece's sound (< 0: all of it)
    std::string namesFile;        // --names: piece names, one a line
    std::string labelsFile;       // --labels: the label file to write
    std::string cutsFrom;         // --cuts-from: a label file whose times are cuts
    // --wav-pieces: an MP3 file's pieces as WAV files too; --mp3-pieces
    // (the default) asks for MP3 pieces, which only MP3 files can give.
    bool wavPieces = false;
    bool mp3Asked = false;
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

// The usage lines and the whole help, UTF-8.
const char* SplitUsageText();
const char* SplitHelpText();

}  // namespace tw
