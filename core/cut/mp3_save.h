// A save of an MP3 recording written as MP3 pieces of its own frames: the
// pieces planned on the decoded copy become byte ranges of the original
// file, each with its title and track number.
#pragma once

#include <cstddef>
#include <string>

#include "core/cut/mp3_pieces.h"
#include "core/cut/save_plan.h"
#include "core/wave/recording_source.h"

namespace tw {

// Whether an opened recording's pieces can be MP3: an MP3 file whose frames
// were found and whose decoded copy counts its samples as they do.
bool CanSaveMp3Pieces(const Mp3Source* source);
// Why an MP3 file's pieces are WAV when it cannot (UTF-8).
std::string Mp3PiecesAsWavText();

// The save's pieces as MP3 pieces of `source`: names ending ".mp3" instead
// of ".wav", a frame plan for each, and a note for each piece that cannot be
// exact. `layout` is the decoded copy's, whose byte offsets the pieces hold.
void MakeMp3Save(const std::shared_ptr<const Mp3Source>& source, const WaveLayout& layout, SavePlan* plan);

// Piece k's bytes: its tags, info and carrier frames, then the source's
// bytes [sourceBegin, sourceEnd), then its ID3v1 tag.
Mp3PieceBytes Mp3PieceOf(const PieceSave& save, std::size_t k);

// "name_001.wav" as "name_001.mp3": the tail of a piece's name replaced.
std::string WithPieceTail(const std::string& name, const std::string& tail);

}  // namespace tw
