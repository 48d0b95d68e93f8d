#include "core/wave/foreign_format.h"

#include <algorithm>
#include <cstring>

namespace tw {

namespace {

// A tag at an offset, and what follows it further on when the tag alone does
// not say enough (a RIFF or FORM container's form type, an MP4 brand, the
// codec of an Ogg stream's first page).
struct Magic {
    std::size_t offset;
    const char* tag;
    std::size_t tagSize;
    std::size_t moreOffset;  // 0: nothing more to match
    const char* more;
    std::size_t moreSize;
    const char* name;
};

#define TW_TAG(s) s, sizeof(s) - 1
#define TW_NONE 0, nullptr, 0

// The more precise entry of a container first: the first match wins.
const Magic kMagic[] = {
    {0, TW_TAG("ID3"), TW_NONE, "MP3"},
    {0, TW_TAG("fLaC"), TW_NONE, "FLAC"},
    {0, TW_TAG("OggS"), 28, TW_TAG("OpusHead"), "Opus"},
    {0, TW_TAG("OggS"), 28, TW_TAG("\x01vorbis"), "Ogg Vorbis"},
    {0, TW_TAG("OggS"), 28, TW_TAG("\x7F" "FLAC"), "Ogg FLAC"},
    {0, TW_TAG("OggS"), TW_NONE, "Ogg"},
    {4, TW_TAG("ftyp"), 8, TW_TAG("M4A "), "M4A"},
    {4, TW_TAG("ftyp"), 8, TW_TAG("M4B "), "M4A"},
    {4, TW_TAG("ftyp"), 8, TW_TAG("qt  "), "QuickTime (MOV)"},
    {4, TW_TAG("ftyp"), 8, TW_TAG("3gp"), "3GP"},
    {4, TW_TAG("ftyp"), TW_NONE, "MP4"},
    {0, TW_TAG("FORM"), 8, TW_TAG("AIFF"), "AIFF"},
    {0, TW_TAG("FORM"), 8, TW_TAG("AIFC"), "AIFF-C"},
    {0, TW_TAG("caff"), TW_NONE, "CAF"},
    {0, TW_TAG("RIFF"), 8, TW_TAG("AVI "), "AVI"},
    {0, TW_TAG("RIFF"), 8, TW_TAG("RMID"), "MIDI"},
    {0, TW_TAG("riff\x2E\x91\xCF\x11"), TW_NONE, "Wave64 (W64)"},
    {0, TW_TAG("MThd"), TW_NONE, "MIDI"},
    {0, TW_TAG("#!AMR"), TW_NONE, "AMR"},
    {0, TW_TAG("wvpk"), TW_NONE, "WavPack"},
    {0, TW_TAG("MAC "), TW_NONE, "Monkey's Audio (APE)"},
    {0, TW_TAG(".snd"), TW_NONE, "AU"},
    {0, TW_TAG("\x30\x26\xB2\x75\x8E\x66\xCF\x11"), TW_NONE, "WMA"},
    {0, TW_TAG("\x1A\x45\xDF\xA3"), TW_NONE, "Matroska/WebM"},
    {0, TW_TAG("DSD "), TW_NONE, "DSF"},
    {0, TW_TAG("FRM8"), TW_NONE, "DSDIFF"},
};

#undef TW_TAG
#undef TW_NONE

bool Has(const std::uint8_t* bytes, std::size_t size, std::size_t offset, const char* tag, std::size_t tagSize) {
    return offset + tagSize <= size && std::memcmp(bytes + offset, tag, tagSize) == 0;
}

// An MPEG audio frame header (or AAC's ADTS): 11 sync bits, then fields
// whose reserved values a real frame never has, so noise rarely passes.
const char* MpegFrameName(const std::uint8_t* b, std::size_t size) {
    if (size < 4 || b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return nullptr;
    const int version = (b[1] >> 3) & 3;  // 1 is reserved
    const int layer = (b[1] >> 1) & 3;    // 0 is ADTS when the version bits are MPEG-2/4
    if (layer == 0) return (b[1] & 0xF6) == 0xF0 && ((b[2] >> 2) & 0xF) < 13 ? "AAC" : nullptr;
    const int bitrate = b[2] >> 4, rate = (b[2] >> 2) & 3;
    if (version == 1 || bitrate == 15 || rate == 3) return nullptr;
    return layer == 1 ? "MP3" : layer == 2 ? "MP2" : "MP1";
}

}  // namespace

const char* ForeignFormatName(const std::uint8_t* bytes, std::size_t size) {
    size = std::min(size, kForeignProbeBytes);
    for (const Magic& m : kMagic) {
        if (!Has(bytes, size, m.offset, m.tag, m.tagSize)) continue;
        if (m.more && !Has(bytes, size, m.moreOffset, m.more, m.moreSize)) continue;
        return m.name;
    }
    return MpegFrameName(bytes, size);
}

}  // namespace tw
