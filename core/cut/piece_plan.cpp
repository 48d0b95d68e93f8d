#include "core/cut/piece_plan.h"

#include <string>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tw {

namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

// Joins a folder and a name as the system writes paths (a long Windows path
// takes no other).
#ifdef _WIN32
const char kSeparator[] = "\\";
#else
const char kSeparator[] = "/";
#endif

}  // namespace

std::string WithoutWavTail(const std::string& path) {
    if (path.size() < 4) return path;
    static const char kTail[] = ".wav";
    for (std::size_t i = 0; i < 4; ++i) {
        char c = path[path.size() - 4 + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kTail[i]) return path;
    }
    return path.substr(0, path.size() - 4);
}

std::string WithoutRecordingTail(const std::string& path) {
    // The kinds the program opens: their pieces are named after the recording alone.
    static const char* const kTails[] = {".wav", ".mp3", ".m4a", ".aac", ".mp4", ".flac",
                                         ".ogg", ".oga", ".opus", ".wma"};
    for (const char* tail : kTails) {
        const std::size_t n = std::char_traits<char>::length(tail);
        if (path.size() < n) continue;
        bool same = true;
        for (std::size_t i = 0; i < n && same; ++i) {
            char c = path[path.size() - n + i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            same = c == tail[i];
        }
        if (same) return path.substr(0, path.size() - n);
    }
    return path;
}

std::string FolderPart(const std::string& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) return path.substr(0, i);
    }
    return std::string();
}

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder.empty() || !FolderPart(name).empty()) return name;
    return IsSeparator(folder.back()) ? folder + name : folder + kSeparator + name;
}

std::string InRecordingFolder(const std::string& prefix, const std::string& recording) {
    std::string folder = WithoutRecordingTail(recording.substr(FolderPart(recording).size()));
    if (folder.empty()) folder = recording.substr(FolderPart(recording).size());  // ".wav" names its own folder
    const std::string folderPart = FolderPart(prefix);
    return folderPart + folder + kSeparator + prefix.substr(folderPart.size());
}


std::vector<Piece> PlanPieces(const std::vector<double>& sortedCuts, std::uint64_t dataSize,
                              std::uint32_t frameBytes, std::uint32_t sampleBytes) {
    if (frameBytes < 1) frameBytes = 2;
    if (sampleBytes < 1) sampleBytes = 2;
    std::vector<Piece> pieces;
    pieces.reserve(sortedCuts.size() + 1);
    const std::uint64_t end = dataSize - dataSize % frameBytes;
    std::uint64_t pos = 0;  // start of the piece being planned
    for (double cut : sortedCuts) {
        const double c = std::trunc(cut);
        if (!(c > 0.0) || c >= static_cast<double>(end) / sampleBytes) continue;
        std::uint64_t boundary = sampleBytes * static_cast<std::uint64_t>(c);
        boundary -= boundary % frameBytes;
        if (boundary <= pos || boundary >= end) continue;
        pieces.push_back({pos, boundary - pos});
        pos = boundary;
    }
    pieces.push_back({pos, end - pos});
    return pieces;
}

std::size_t PieceHolding(const std::vector<Piece>& pieces, std::uint64_t offset) {
    // Pieces follow one another, so the last one starting at or before the
    // offset is the only candidate (an empty one there is followed by a piece
    // starting at the same byte, which comes later).
    auto after = std::upper_bound(pieces.begin(), pieces.end(), offset,
                                  [](std::uint64_t at, const Piece& p) { return at < p.offset; });
    if (after == pieces.begin()) return pieces.size();
    const Piece& p = *(after - 1);
    if (offset >= p.offset + p.length) return pieces.size();
    return static_cast<std::size_t>(after - 1 - pieces.begin());
}

std::uint32_t PieceDigits(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    if (first != std::string::npos && first == last && text[first] >= '1' && text[first] <= '9')
        return static_cast<std::uint32_t>(text[first] - '0');
    return 3;
}

bool PieceFileName(const std::string& prefix, std::uint32_t number, std::size_t capacity, std::string* name,
                   std::uint32_t digits) {
    if (digits < 1 || digits > 9) digits = 3;
    char tail[32];
    std::snprintf(tail, sizeof tail, "_%0*u.wav", static_cast<int>(digits), static_cast<unsigned>(number));
    std::string result = prefix + tail;
    if (result.size() + 1 > capacity) {
        name->clear();
        return false;
    }
    *name = result;
    return true;
}

}  // namespace tw
