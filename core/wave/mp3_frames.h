// MPEG audio layer III streams read from their bytes: where the frames are,
// what each borrows from the bit reservoir, and the gapless numbers of the
// Xing/Info + LAME tag. Bytes in, a description out: no file is opened here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tw {

enum class MpegVersion : std::uint8_t { Mpeg1, Mpeg2, Mpeg25 };

// One frame header's fields (ISO 11172-3 / 13818-3), layer III only.
struct Mp3Header {
    MpegVersion version = MpegVersion::Mpeg1;
    bool crc = false;              // a 16-bit CRC follows the header
    int bitrateIndex = 0;          // 0: free format
    int bitrateKbps = 0;           // 0 for free format
    int sampleRate = 0;
    bool padding = false;
    int channelMode = 0;           // 0 stereo, 1 joint, 2 dual, 3 mono
    int channels() const { return channelMode == 3 ? 1 : 2; }
    int samplesPerFrame() const { return version == MpegVersion::Mpeg1 ? 1152 : 576; }
    // Bytes of side information after the header (and its CRC).
    int sideInfoBytes() const;
    // Header, CRC and side information: where the frame's own main data starts.
    int payloadOffset() const { return 4 + (crc ? 2 : 0) + sideInfoBytes(); }
    // The whole frame's size; 0 for free format, which only the distance to
    // the next frame tells.
    std::size_t frameBytes() const;
};

// The header at p (4 bytes), or false when it is no layer III header: no
// sync, a reserved version, bit rate or sample rate, or another layer.
bool ParseMp3Header(const std::uint8_t* p, Mp3Header* header);
// The 4 header bytes for these fields (emphasis 0, not private, no copyright).
void WriteMp3Header(const Mp3Header& header, int modeExtension, std::uint8_t* p);
// Frame size of a bit-rate index in a stream of this header's kind (padding off).
std::size_t Mp3FrameBytesAt(const Mp3Header& header, int bitrateIndex);

// The gapless numbers of a LAME tag: samples the encoder put before the
// audio and after it, and the audio frames the tag counts (its own excluded).
struct Mp3Gapless {
    std::uint32_t delay = 0;
    std::uint32_t padding = 0;
    std::uint64_t frames = 0;
    bool hasTag = false;      // a Xing/Info frame (frames valid when hasFrames)
    bool hasFrames = false;   // the tag holds a frame count
    bool hasLame = false;     // delay and padding come from a LAME extension
};

struct Mp3Frame {
    std::size_t offset = 0;          // in the file's bytes
    std::uint32_t size = 0;
    std::uint16_t mainDataBegin = 0; // bytes borrowed from the frames before
    std::uint16_t samples = 0;       // decoded samples per channel
    std::uint16_t payloadOffset = 0; // where its own main data starts, from offset
    std::uint8_t bitrateIndex = 0;
};

struct Mp3Stream {
    bool found = false;              // at least one layer III frame
    Mp3Header format;                // the first audio frame's header
    std::size_t id3v2Bytes = 0;      // an ID3v2 tag at the start, footer included
    std::size_t audioEnd = 0;        // where ID3v1, APE or Lyrics tags at the end begin
    bool hasId3v1 = false;           // the last 128 bytes are an ID3v1 tag
    std::size_t tagFrameOffset = 0;  // the Xing/Info/VBRI frame, when gapless.hasTag
    std::uint32_t tagFrameSize = 0;
    std::size_t lameOffset = 0;      // the LAME extension's first byte (0: none)
    Mp3Gapless gapless;
    std::vector<Mp3Frame> frames;    // the audio frames, the tag frame left out
    std::size_t skippedBytes = 0;    // bytes between frames that were no frame
    bool freeFormat = false;
    bool mixedFormat = false;        // frames of another version, rate or mode were left out
    std::size_t reservoirShortFrames = 0;  // frames borrowing more than the stream held

    // Samples a gapless decoder gives: every frame's, less the delay and
    // padding of the tag (529 of the decoder's own already taken into account).
    std::uint64_t decodedSamples() const;
};

// Walks the stream in bytes[0, size): ID3v2 at the start and ID3v1/APE/
// Lyrics3 at the end skipped, frames followed header to header, resynced
// past damage (two frames that agree must follow each other), and the first
// frame read as a tag frame when it is one.
Mp3Stream ParseMp3Stream(const std::uint8_t* bytes, std::size_t size);

// The LAME tag's CRC: CRC-16 with the polynomial 0x8005, reflected, from 0.
std::uint16_t LameCrc16(const std::uint8_t* bytes, std::size_t size, std::uint16_t crc = 0);

}  // namespace tw
