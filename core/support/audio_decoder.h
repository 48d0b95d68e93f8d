// Compressed recordings (MP3, AAC, FLAC, ALAC, Vorbis, Opus, WMA) decoded by
// the system's own libraries: FFmpeg's on Linux, Media Foundation (ACM for
// MP3 where it fails) on Windows. One implementation per platform; the core
// (core/wave/recording_source.h) turns what they hand out into a WAV file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tw {

struct DecodedFormat {
    std::uint32_t sampleRate = 0;
    std::uint16_t channels = 0;
    std::uint64_t expectedFrames = 0;  // from the container's duration; 0 when unknown (progress only)
    // MP3: true when the decoder already dropped the encoder delay and padding
    // its LAME/Info tag states; otherwise what it puts before that delay: its
    // own synthesis delay (529), and the Info frame decoded as a silent frame.
    bool mp3GapTrimmed = true;
    std::uint32_t mp3DecoderDelay = 0;
    bool mp3InfoFrameDecoded = false;
    const char* decoder = "";  // which library decoded, for the report
};

class DecodeSink {
public:
    // Once, before any samples; false stops the decode (Stopped).
    virtual bool Begin(const DecodedFormat& format) = 0;
    // Interleaved 16-bit frames in order; false stops the decode (Stopped).
    virtual bool Frames(const std::int16_t* samples, std::size_t frames) = 0;

protected:
    ~DecodeSink() = default;
};

enum class DecodeOutcome {
    Complete,
    Damaged,    // what decoded was handed out; the rest could not be read
    Stopped,    // the sink said stop
    NoDecoder,  // the system has no decoder for it (reason says why)
    Refused,    // nothing in it could be decoded (reason says why)
};

struct DecodeRequest {
    std::string path;       // UTF-8
    const char* kind = "";  // what the file is, as its first bytes tell ("MP3", "FLAC", ...)
    // MP3, for a decoder fed frame by frame: where the frames are (ID3 tags
    // left out) and the first one's shape; 0 when not known.
    std::uint64_t mp3Start = 0;
    std::uint64_t mp3End = 0;
    std::uint32_t mp3SampleRate = 0;
    std::uint16_t mp3Channels = 0;
    std::uint64_t mp3Samples = 0;  // per channel, every audio frame's (progress)
};

// Decodes the recording at its own rate and channels.
// *reason: the library's or the system's words for a failure.
DecodeOutcome DecodeAudioFile(const DecodeRequest& request, DecodeSink& sink, std::string* reason);

}  // namespace tw
