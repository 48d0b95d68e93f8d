#include "core/wave/mp3_frames.h"

#include <algorithm>
#include <cstring>

namespace tw {

namespace {

const int kBitrates[2][15] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},  // MPEG-1
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},      // MPEG-2 and 2.5
};
const int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

// The largest free-format frame: 640 kbit/s at 8 kHz.
constexpr std::size_t kMaxFreeFrame = 5762;
constexpr std::size_t kId3v1Bytes = 128;

std::uint32_t ReadBe32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

bool Has(const std::uint8_t* bytes, std::size_t size, std::size_t at, const char* tag) {
    const std::size_t n = std::strlen(tag);
    return at <= size && size - at >= n && std::memcmp(bytes + at, tag, n) == 0;
}

std::uint32_t SyncSafe(const std::uint8_t* p) {
    return std::uint32_t{p[0] & 0x7Fu} << 21 | std::uint32_t{p[1] & 0x7Fu} << 14 | std::uint32_t{p[2] & 0x7Fu} << 7 |
           (p[3] & 0x7Fu);
}

// ID3v2 tags at the start (some files have several in a row).
std::size_t Id3v2Bytes(const std::uint8_t* bytes, std::size_t size) {
    std::size_t at = 0;
    while (Has(bytes, size, at, "ID3") && size - at >= 10 && bytes[at + 3] != 0xFF) {
        const std::size_t tag = 10 + std::size_t{SyncSafe(bytes + at + 6)} + ((bytes[at + 5] & 0x10) ? 10 : 0);
        if (tag > size - at) return size;
        at += tag;
    }
    return at;
}

// Where the tags at the end start: ID3v1, an APE tag and Lyrics3v2 before it.
std::size_t AudioEnd(const std::uint8_t* bytes, std::size_t size, std::size_t start, bool* id3v1) {
    std::size_t end = size;
    *id3v1 = size - start >= kId3v1Bytes && Has(bytes, size, size - kId3v1Bytes, "TAG");
    if (*id3v1) end -= kId3v1Bytes;
    for (bool more = true; more;) {
        more = false;
        if (end - start >= 32 && Has(bytes, end, end - 32, "APETAGEX")) {
            const std::uint8_t* f = bytes + end - 32;
            const std::uint64_t tag = std::uint64_t{f[12] | f[13] << 8 | f[14] << 16 | std::uint32_t{f[15]} << 24} +
                                      ((f[23] & 0x80) ? 32 : 0);
            if (tag >= 32 && tag <= end - start) end -= static_cast<std::size_t>(tag), more = true;
        }
        if (end - start >= 15 && Has(bytes, end, end - 9, "LYRICS200")) {
            std::size_t tag = 0;
            bool digits = true;
            for (std::size_t i = end - 15; i < end - 9; ++i) {
                digits = digits && bytes[i] >= '0' && bytes[i] <= '9';
                tag = tag * 10 + static_cast<std::size_t>(bytes[i] - '0');
            }
            if (digits && tag + 15 <= end - start) end -= tag + 15, more = true;
        }
    }
    return end;
}

bool SameKind(const Mp3Header& a, const Mp3Header& b) {
    return a.version == b.version && a.sampleRate == b.sampleRate && a.channels() == b.channels() &&
           (a.bitrateIndex == 0) == (b.bitrateIndex == 0);
}

// Frame headers that must agree for a free-format frame to end at the next:
// sync, version, layer, bit-rate index 0 and sample rate.
bool FreeFollower(const std::uint8_t* a, const std::uint8_t* b) {
    return b[0] == 0xFF && (a[1] & 0xFE) == (b[1] & 0xFE) && (a[2] & 0xFC) == (b[2] & 0xFC);
}

class Walker {
public:
    Walker(const std::uint8_t* bytes, std::size_t end) : b_(bytes), end_(end) {}

    // The size of a frame of this kind at `at`; 0 when there is none.
    std::size_t FrameAt(std::size_t at, const Mp3Header* kind, Mp3Header* h) {
        if (at > end_ || end_ - at < 4 || !ParseMp3Header(b_ + at, h)) return 0;
        if (kind && !SameKind(*kind, *h)) return 0;
        std::size_t size = h->frameBytes();
        if (size == 0) size = FreeSize(at, *h);
        if (size < static_cast<std::size_t>(h->payloadOffset()) || size > end_ - at) return 0;
        return size;
    }

    // A frame that a second one of its kind follows (or the stream's end), so
    // bytes inside damage are not taken for a header.
    std::size_t ConfirmedFrameAt(std::size_t at, const Mp3Header* kind, Mp3Header* h) {
        const std::size_t size = FrameAt(at, kind, h);
        if (size == 0) return 0;
        Mp3Header next;
        return at + size == end_ || FrameAt(at + size, h, &next) ? size : 0;
    }

private:
    // A free-format frame's size: every frame of the stream has the same
    // number of slots, so the distance to the next matching header gives it.
    std::size_t FreeSize(std::size_t at, const Mp3Header& h) {
        const std::size_t pad = h.padding ? 1 : 0;
        if (freeBase_) {
            const std::size_t size = freeBase_ + pad;
            if (at + size == end_ || (end_ - at >= size + 4 && FreeFollower(b_ + at, b_ + at + size))) return size;
        }
        const std::size_t last = std::min(end_ - at, kMaxFreeFrame);
        for (std::size_t d = static_cast<std::size_t>(h.payloadOffset()); d + 4 <= last; ++d)
            if (FreeFollower(b_ + at, b_ + at + d)) {
                Mp3Header next;
                if (!ParseMp3Header(b_ + at + d, &next) || d < pad + 1) continue;
                freeBase_ = d - pad;
                return d;
            }
        return 0;
    }

    const std::uint8_t* b_;
    std::size_t end_;
    std::size_t freeBase_ = 0;
};

std::uint16_t MainDataBegin(const std::uint8_t* frame, const Mp3Header& h) {
    const std::uint8_t* side = frame + 4 + (h.crc ? 2 : 0);
    if (h.version == MpegVersion::Mpeg1) return static_cast<std::uint16_t>(side[0] << 1 | side[1] >> 7);
    return side[0];
}

// The first frame as a Xing/Info or VBRI tag: its frame count, and the
// LAME extension's delay and padding.
void ReadTagFrame(const std::uint8_t* f, std::size_t size, const Mp3Header& h, Mp3Stream* s) {
    const std::size_t x = static_cast<std::size_t>(h.payloadOffset());
    Mp3Gapless& g = s->gapless;
    if (Has(f, size, 4 + 32, "VBRI") && size >= 4 + 32 + 18) {
        g.hasTag = g.hasFrames = true;
        g.frames = ReadBe32(f + 4 + 32 + 14);
        return;
    }
    if (!Has(f, size, x, "Xing") && !Has(f, size, x, "Info")) return;
    if (size < x + 8) return;
    g.hasTag = true;
    const std::uint32_t flags = ReadBe32(f + x + 4);
    std::size_t at = x + 8;
    if ((flags & 1) && size >= at + 4) g.hasFrames = true, g.frames = ReadBe32(f + at);
    at += (flags & 1) ? 4 : 0;
    at += (flags & 2) ? 4 : 0;
    at += (flags & 4) ? 100 : 0;
    at += (flags & 8) ? 4 : 0;
    // Encoders that write the LAME extension, as gapless decoders accept them.
    if (size < at + 36 || !(Has(f, size, at, "LAME") || Has(f, size, at, "Lavf") || Has(f, size, at, "Lavc")))
        return;
    s->lameOffset = at;
    g.hasLame = true;
    g.delay = std::uint32_t{f[at + 21]} << 4 | f[at + 22] >> 4;
    g.padding = std::uint32_t{f[at + 22] & 0x0Fu} << 8 | f[at + 23];
}

void AddFrame(const std::uint8_t* bytes, std::size_t at, std::size_t size, const Mp3Header& h, Mp3Stream* s,
              std::uint64_t* reservoir) {
    Mp3Frame f;
    f.offset = at;
    f.size = static_cast<std::uint32_t>(size);
    f.mainDataBegin = MainDataBegin(bytes + at, h);
    f.samples = static_cast<std::uint16_t>(h.samplesPerFrame());
    f.payloadOffset = static_cast<std::uint16_t>(h.payloadOffset());
    f.bitrateIndex = static_cast<std::uint8_t>(h.bitrateIndex);
    if (f.mainDataBegin > *reservoir) ++s->reservoirShortFrames;
    *reservoir += size - f.payloadOffset;
    s->frames.push_back(f);
}

// The next confirmed frame of the stream's kind from `at` on; frames of
// another kind on the way (a joined file) are skipped as damage, and said.
std::size_t Resync(const std::uint8_t* bytes, std::size_t at, Walker* walk, Mp3Stream* s, Mp3Header* h,
                   std::size_t* frame) {
    const Mp3Header* kind = s->found ? &s->format : nullptr;
    while (at < s->audioEnd && (*frame = walk->ConfirmedFrameAt(at, kind, h)) == 0) {
        if (kind && walk->ConfirmedFrameAt(at, nullptr, h)) s->mixedFormat = true;
        const void* next = std::memchr(bytes + at + 1, 0xFF, s->audioEnd - at - 1);
        at = next ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - bytes) : s->audioEnd;
    }
    return at;
}

}  // namespace

int Mp3Header::sideInfoBytes() const {
    if (version == MpegVersion::Mpeg1) return channelMode == 3 ? 17 : 32;
    return channelMode == 3 ? 9 : 17;
}

std::size_t Mp3FrameBytesAt(const Mp3Header& h, int bitrateIndex) {
    if (bitrateIndex <= 0 || bitrateIndex > 14 || h.sampleRate <= 0) return 0;
    const int kbps = kBitrates[h.version == MpegVersion::Mpeg1 ? 0 : 1][bitrateIndex];
    const std::size_t slots = h.version == MpegVersion::Mpeg1 ? 144 : 72;
    return slots * static_cast<std::size_t>(kbps) * 1000 / static_cast<std::size_t>(h.sampleRate);
}

std::size_t Mp3Header::frameBytes() const {
    if (bitrateIndex == 0) return 0;
    return Mp3FrameBytesAt(*this, bitrateIndex) + (padding ? 1 : 0);
}

bool ParseMp3Header(const std::uint8_t* p, Mp3Header* h) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
    const int version = (p[1] >> 3) & 3, layer = (p[1] >> 1) & 3;
    const int bitrate = p[2] >> 4, rate = (p[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrate == 15 || rate == 3 || (p[3] & 3) == 2) return false;
    h->version = version == 3 ? MpegVersion::Mpeg1 : version == 2 ? MpegVersion::Mpeg2 : MpegVersion::Mpeg25;
    const int v = static_cast<int>(h->version);
    h->crc = (p[1] & 1) == 0;
    h->bitrateIndex = bitrate;
    h->bitrateKbps = kBitrates[v == 0 ? 0 : 1][bitrate];
    h->sampleRate = kRates[v][rate];
    h->padding = (p[2] >> 1) & 1;
    h->channelMode = p[3] >> 6;
    return true;
}

void WriteMp3Header(const Mp3Header& h, int modeExtension, std::uint8_t* p) {
    const int v = h.version == MpegVersion::Mpeg1 ? 3 : h.version == MpegVersion::Mpeg2 ? 2 : 0;
    const int* rates = kRates[static_cast<int>(h.version)];
    const int rate = h.sampleRate == rates[0] ? 0 : h.sampleRate == rates[1] ? 1 : 2;
    p[0] = 0xFF;
    p[1] = static_cast<std::uint8_t>(0xE0 | v << 3 | 1 << 1 | (h.crc ? 0 : 1));
    p[2] = static_cast<std::uint8_t>(h.bitrateIndex << 4 | rate << 2 | (h.padding ? 2 : 0));
    p[3] = static_cast<std::uint8_t>(h.channelMode << 6 | (modeExtension & 3) << 4 | 0x04);  // "original"
}

std::uint64_t Mp3Stream::decodedSamples() const {
    std::uint64_t total = 0;
    for (const Mp3Frame& f : frames) total += f.samples;
    const std::uint64_t trim = gapless.hasLame ? std::uint64_t{gapless.delay} + gapless.padding : 0;
    return total > trim ? total - trim : 0;
}

Mp3Stream ParseMp3Stream(const std::uint8_t* bytes, std::size_t size) {
    Mp3Stream s;
    s.id3v2Bytes = Id3v2Bytes(bytes, size);
    s.audioEnd = AudioEnd(bytes, size, s.id3v2Bytes, &s.hasId3v1);
    Walker walk(bytes, s.audioEnd);
    std::uint64_t reservoir = 0;
    std::size_t at = s.id3v2Bytes;
    while (at < s.audioEnd) {
        Mp3Header h;
        std::size_t frame = walk.FrameAt(at, s.found ? &s.format : nullptr, &h);
        if (frame == 0 || !s.found) {  // the first frame, and after damage, must be confirmed by the next
            const std::size_t from = at;
            at = Resync(bytes, at, &walk, &s, &h, &frame);
            if (s.found) s.skippedBytes += at - from;
            if (frame == 0) break;
        }
        if (!s.found) {
            s.found = true;
            s.format = h;
            s.freeFormat = h.bitrateIndex == 0;
            ReadTagFrame(bytes + at, frame, h, &s);
            if (s.gapless.hasTag) {
                s.tagFrameOffset = at;
                s.tagFrameSize = static_cast<std::uint32_t>(frame);
                at += frame;
                continue;
            }
        }
        AddFrame(bytes, at, frame, h, &s, &reservoir);
        at += frame;
    }
    return s;
}

std::uint16_t LameCrc16(const std::uint8_t* bytes, std::size_t size, std::uint16_t crc) {
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k) crc = static_cast<std::uint16_t>((crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1);
    }
    return crc;
}

}  // namespace tw
