#include "core/cut/piece_writer.h"

#include <algorithm>

namespace tw {

const char* const kPieceNotCreated = "ファイルハンドルが作成できません";
const char* const kPieceNotWritten = "WAV データの書き出しに失敗しました";

namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

constexpr std::size_t kNamesShown = 5;  // in a box or a line, then "ほか N 個"

std::string Count(std::size_t n) { return std::to_string(n); }

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

std::string FolderPart(const std::string& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) return path.substr(0, i);
    }
    return std::string();
}

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder.empty() || !FolderPart(name).empty()) return name;
    return IsSeparator(folder.back()) ? folder + name : folder + "/" + name;
}

PieceSave PlanPieceSave(const std::vector<double>& sortedCuts, const WaveHeaderBytes& pieceHeader,
                        std::uint32_t sampleBytes, const std::uint8_t* data, std::uint64_t dataSize,
                        const std::string& prefix, std::uint32_t digits) {
    PieceSave save;
    save.pieceHeader = pieceHeader;
    save.data = data;
    save.pieces = PlanPieces(sortedCuts, dataSize, FrameBytes(pieceHeader), sampleBytes);
    save.names.resize(save.pieces.size());
    save.trimmed.assign(save.pieces.size(), false);
    for (std::size_t k = 0; k < save.pieces.size(); ++k)
        PieceFileName(prefix, static_cast<std::uint32_t>(k), static_cast<std::size_t>(-1), &save.names[k], digits);
    return save;
}

std::vector<std::string> NamePieces(PieceSave* save, const std::vector<std::string>& list,
                                    const std::vector<NamedStart>& starts) {
    const std::string folder = FolderPart(save->names.front());
    for (const NamedStart& s : starts) {
        if (s.name.empty()) continue;
        // Pieces run in order of their offsets.
        auto at = std::lower_bound(save->pieces.begin(), save->pieces.end(), s.offset,
                                   [](const Piece& p, std::uint64_t x) { return p.offset < x; });
        if (at != save->pieces.end() && at->offset == s.offset)
            save->names[static_cast<std::size_t>(at - save->pieces.begin())] = folder + s.name + ".wav";
    }
    for (std::size_t k = 0; k < save->pieces.size() && k < list.size(); ++k)
        if (!list[k].empty()) save->names[k] = folder + list[k] + ".wav";
    std::vector<std::pair<std::string, std::size_t>> folded;
    for (std::size_t k = 0; k < save->names.size(); ++k) {
        std::string f = save->names[k];
        for (char& c : f)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        folded.push_back({f, k});
    }
    std::sort(folded.begin(), folded.end());
    std::vector<std::string> twice;
    for (std::size_t i = 1; i < folded.size(); ++i)
        if (folded[i].first == folded[i - 1].first) twice.push_back(save->names[folded[i].second]);
    return twice;
}

std::vector<std::string> NamesInTheWay(const PieceSave& save) {
    std::vector<std::string> taken;
    for (const std::string& name : save.names) {
        if (PathExists(name)) taken.push_back(name);
    }
    return taken;
}

NewFileOutcome WriteSavePiece(const PieceSave& save, std::size_t k, std::string* reason) {
    const Piece& piece = save.pieces[k];
    const PieceHeaderBytes head = PieceHeaderFor(save.pieceHeader, piece.length);
    return WriteNewFile(save.names[k], head.data(), head.size(), save.data + piece.offset, piece.length, reason);
}

std::string NamesInTheWayText(const std::vector<std::string>& names, const char* separator) {
    std::string text = "同じ名前のファイルが既にあるため、何も保存しませんでした (" + Count(names.size()) + " 個)";
    for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i) text += separator + names[i];
    if (names.size() > kNamesShown) text += separator + ("ほか " + Count(names.size() - kNamesShown) + " 個");
    return text;
}

std::string PieceFailureLine(const std::string& name, const PieceFailure& failure) {
    std::string line = name + ": " + (failure.outcome == NewFileOutcome::NotCreated ? kPieceNotCreated : kPieceNotWritten);
    return failure.reason.empty() ? line : line + " (" + failure.reason + ")";
}

std::string SaveFailedText(const PieceSave& save, const std::vector<PieceFailure>& failures, const char* newline) {
    std::string text = Count(save.pieces.size()) + " 個中 " + Count(failures.size()) + " 個のファイルを保存できませんでした";
    for (std::size_t i = 0; i < failures.size() && i < kNamesShown; ++i)
        text += newline + PieceFailureLine(save.names[failures[i].piece], failures[i]);
    if (failures.size() > kNamesShown) text += newline + ("ほか " + Count(failures.size() - kNamesShown) + " 個");
    return text;
}

}  // namespace tw
