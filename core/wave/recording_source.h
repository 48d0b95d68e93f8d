// Every recording comes in here, the window's and tarnwick-split's: a WAV
// file is its own bytes, mapped as before; a compressed recording (MP3,
// AAC/M4A, FLAC, ALAC, Ogg Vorbis, Opus, WMA) is decoded by the platform
// (core/support/audio_decoder.h) into a temporary WAV file of 16-bit samples
// at its own rate and channels, which is mapped the same way and so reaches
// measuring, drawing, cutting, playback and saving unchanged. The temporary
// file goes when its mapping does.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/support/audio_decoder.h"
#include "core/support/file_io.h"
#include "core/wave/mp3_frames.h"
#include "core/wave/wave_format.h"

namespace tw {

// True for the kinds ForeignFormatName names that are decoded; the others
// keep their refusal.
bool DecodableKind(const char* kind);

// Percent decoded (0 to 100, rising); false gives the decode up.
using DecodeProgressFn = std::function<bool(int percent)>;

struct DecodeReport {
    DecodeOutcome outcome = DecodeOutcome::Refused;
    std::string reason;          // the decoder's or the system's words for a failure
    bool cannotWrite = false;    // the temporary file could not be written (reason says why)
    std::uint64_t frames = 0;    // written, after any trimming
    const char* decoder = "";
};

// Decodes `path` (UTF-8), a file of a DecodableKind, into `out` (created,
// empty) as a WAV file: 16-bit PCM at the recording's rate and channels, the
// MP3 encoder delay and padding of its LAME/Info tag removed where the
// decoder kept them. The file is whole and readable whenever some audio was
// written (Complete, Damaged).
DecodeReport DecodeIntoWave(const std::string& path, const char* kind, TempFile& out, const DecodeProgressFn& progress);

// The user's words (UTF-8) for a decode that did not end Complete: a notice
// beside the recording (Damaged) or the refusal (the others but Stopped).
// `name` is the file's name without its folder.
std::string DecodeNoticeText();
std::string DecodeRefusalText(const std::string& name, const char* kind, const DecodeReport& report);
// The status line while decoding: 「MP3 ファイルを変換中... 42%」.
std::string DecodingStatusText(const char* kind, int percent);

// An MP3 recording's own bytes, kept beside its decoded copy so that its
// pieces can be written from its frames, never encoded again.
struct Mp3Source {
    std::unique_ptr<MappedFile> file;
    Mp3Stream stream;
    // The decoded copy holds exactly the stream's gapless samples, so a cut
    // at a decoded sample is that sample of the frames; when a decoder gave
    // more or fewer, pieces of the frames would be cut elsewhere.
    bool positionsAgree = false;
};

// An MP3 file's frames kept beside its decoded copy (`decoded`, its
// layout); null when no layer III stream is found in it.
std::shared_ptr<const Mp3Source> KeepMp3Frames(std::unique_ptr<MappedFile> file, const WaveLayout& decoded);

// A recording opened for reading: the WAV file's own bytes, or those of its
// decoded copy.
struct Recording {
    enum Outcome { Opened, CannotOpen, CannotRead, NotWave, NoDataChunk, Unsupported, DecodeFailed, Stopped };
    Outcome outcome = CannotOpen;
    std::string reason;         // CannotOpen, CannotRead: the system's words
    WaveCheck check;            // the WAV file's (a decoded one's when decoded)
    const char* kind = nullptr; // NotWave: what the file is, when known; decoded: what it was
    DecodeReport decode;        // when decoded
    const std::uint8_t* data = nullptr;  // check.layout.dataSize bytes of samples
    std::unique_ptr<MappedFile> file = std::make_unique<MappedFile>();  // holds them
    std::shared_ptr<const Mp3Source> mp3;  // a decoded MP3 file's own frames

    bool Decoded() const { return kind && outcome != NotWave; }
};

// An MP3 file opened by its frames alone, never decoded, for a run that
// needs none of its samples (cuts given, pieces written from the frames):
// the layout is that of its decoded copy (16-bit, its rate and channels, its
// gapless length) and `data` is null. Null when the file is no MP3 file, or
// one whose frames are damaged or of mixed formats (decode it then).
std::unique_ptr<Recording> OpenMp3Frames(const std::string& path);

// Opens any recording at `path` (UTF-8). A WAV file is checked as the
// loaders always have (CheckWaveBytes); a file of a decodable kind is decoded,
// with `progress` told as it goes.
std::unique_ptr<Recording> OpenRecording(const std::string& path, const DecodeProgressFn& progress = nullptr);

}  // namespace tw
