#include "core/cut/mp3_save.h"

#include <algorithm>

namespace tw {

namespace {

constexpr char kWavTail[] = ".wav";
constexpr char kMp3Tail[] = ".mp3";

}  // namespace

bool CanSaveMp3Pieces(const Mp3Source* source) {
    return source && source->file && source->positionsAgree && !source->stream.frames.empty();
}

std::string Mp3PiecesAsWavText() {
    return "この MP3 ファイルはフレームのままでは正確に切れないため、ピースは WAV で保存します";
}

std::string WithPieceTail(const std::string& name, const std::string& tail) {
    const std::size_t n = sizeof kWavTail - 1;
    if (name.size() >= n && name.compare(name.size() - n, n, kWavTail) == 0) return name.substr(0, name.size() - n) + tail;
    return name + tail;
}

void MakeMp3Save(const std::shared_ptr<const Mp3Source>& source, const WaveLayout& layout, SavePlan* plan) {
    PieceSave& save = plan->save;
    save.mp3 = source;
    save.tail = kMp3Tail;
    for (std::string& name : save.names) name = WithPieceTail(name, kMp3Tail);
    const std::uint64_t frameBytes = std::max<std::uint64_t>(1, std::uint64_t{layout.channels} * layout.sampleBytes());
    save.mp3Plans.clear();
    for (std::size_t k = 0; k < save.pieces.size(); ++k) {
        const Piece& p = save.pieces[k];
        const std::uint64_t first = p.offset / frameBytes;
        save.mp3Plans.push_back(PlanMp3Piece(source->stream, first, first + p.length / frameBytes));
        const std::string why = Mp3PieceIssueText(save.mp3Plans.back().issues);
        if (!why.empty() && k < save.names.size()) plan->notes.push_back(save.names[k] + ": " + why);
    }
}

Mp3PieceBytes Mp3PieceOf(const PieceSave& save, std::size_t k) {
    const Mp3Source& source = *save.mp3;
    const Mp3PieceTags tags{BarePieceName(save, save.names[k]), static_cast<unsigned>(k + 1),
                            static_cast<unsigned>(save.names.size())};
    return BuildMp3Piece(source.file->bytes(), static_cast<std::size_t>(source.file->size()), source.stream,
                         save.mp3Plans[k], tags);
}

}  // namespace tw
