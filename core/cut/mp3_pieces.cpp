#include "core/cut/mp3_pieces.h"

#include <algorithm>
#include <cstring>

namespace tw {

namespace {

constexpr std::uint64_t kDecoderDelay = kMp3DecoderDelay;
constexpr std::uint64_t kMaxBorrow = 511;
constexpr std::uint64_t kMaxTagValue = 4095;  // the LAME tag's 12-bit delay and padding
// The Xing part with every field (frames, bytes, TOC, quality), then the LAME part.
constexpr std::size_t kXingBytes = 120, kLameBytes = 36;
// FFmpeg takes a file for MP3 at once when it starts with seven frames in a
// row; with fewer, a few bytes of audio that look like another format's
// (H.263's picture start) can tie with MP3, and the file does not open.
constexpr std::uint64_t kProbedFrames = 7;

void PutBe32(std::uint8_t* p, std::uint64_t v) {
    const std::uint32_t w = static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFu));
    p[0] = static_cast<std::uint8_t>(w >> 24), p[1] = static_cast<std::uint8_t>(w >> 16);
    p[2] = static_cast<std::uint8_t>(w >> 8), p[3] = static_cast<std::uint8_t>(w);
}
void PutBe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8), p[1] = static_cast<std::uint8_t>(v);
}

// Damage inside the piece's frames: bytes between them, or a frame that
// borrows more than the stream held before it.
bool Damaged(const Mp3Stream& s, std::size_t from, std::size_t to) {
    for (std::size_t j = from; j < to; ++j) {
        const Mp3Frame& f = s.frames[j];
        if (f.mainDataBegin > f.mainDataAt) return true;
        if (j > from && s.frames[j - 1].offset + s.frames[j - 1].size != f.offset) return true;
    }
    return false;
}

// The reservoir bytes the piece's frames borrow from before its first.
std::uint32_t Borrowed(const Mp3Stream& s, std::size_t from, std::size_t to) {
    const std::uint64_t start = s.frames[from].mainDataAt;
    std::uint64_t need = 0;
    for (std::size_t j = from; j < to && s.frames[j].mainDataAt - start < kMaxBorrow; ++j) {
        const std::uint64_t ahead = s.frames[j].mainDataAt - start;
        if (s.frames[j].mainDataBegin > ahead) need = std::max<std::uint64_t>(need, s.frames[j].mainDataBegin - ahead);
    }
    return static_cast<std::uint32_t>(std::min(need, start));
}

// Frames of the piece's own (the Info and carrier frames): the first
// frame's header with another bit rate, no CRC, no padding, no joint stereo.
std::size_t OwnFrameBytes(const Mp3Stream& s, int bitrateIndex) {
    return s.freeFormat ? s.freeFrameBytes : Mp3FrameBytesAt(s.format, bitrateIndex);
}
std::size_t OwnPayload(const Mp3Stream& s, int bitrateIndex) {
    const std::size_t size = OwnFrameBytes(s, bitrateIndex), side = 4 + static_cast<std::size_t>(s.format.sideInfoBytes());
    return size > side ? size - side : 0;
}

// The bit rate of own frames that hold `need` bytes after their side
// information: the piece's first frame's when `most` of them do (a CBR
// piece stays CBR), otherwise the lowest that holds them in one. Free format
// has its one size.
int OwnBitrate(const Mp3Stream& s, int preferred, std::size_t need, std::size_t most) {
    if (s.freeFormat) return 0;
    if (preferred > 0 && OwnPayload(s, preferred) * most >= need) return preferred;
    for (int i = 1; i <= 14; ++i)
        if (OwnPayload(s, i) >= need) return i;
    return 14;
}

std::vector<std::uint8_t> OwnFrames(const std::uint8_t* firstHeader, const Mp3Stream& s, int bitrateIndex,
                                    std::size_t count) {
    const std::size_t size = OwnFrameBytes(s, bitrateIndex);
    std::vector<std::uint8_t> out(size * count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* h = out.data() + i * size;
        std::memcpy(h, firstHeader, 4);
        h[1] |= 1;  // no CRC
        h[2] = static_cast<std::uint8_t>((h[2] & 0x0D) | bitrateIndex << 4);
        h[3] &= 0xCF;
    }
    return out;
}

// The silent frames that hand the first frame its borrowed bytes: no main
// data of their own, payloads ending with those bytes. A decoder keeps only
// what follows the last frame's main data, so each carrier's main data
// begins where the borrowed bytes do, in the carriers before it.
std::vector<std::uint8_t> CarrierFrames(const std::uint8_t* bytes, const Mp3Stream& s, const Mp3PiecePlan& plan) {
    const std::uint8_t* header = bytes + s.frames[plan.firstFrame].offset;
    std::vector<std::uint8_t> out = OwnFrames(header, s, plan.carrierBitrate, plan.carrierFrames);
    const std::size_t size = OwnFrameBytes(s, plan.carrierBitrate), payload = OwnPayload(s, plan.carrierBitrate);
    // The borrowed bytes, gathered backwards from the frames before the first.
    std::vector<std::uint8_t> borrowed(plan.reservoirBytes);
    std::size_t left = borrowed.size();
    for (std::size_t j = plan.firstFrame; left > 0 && j-- > 0;) {
        const Mp3Frame& fr = s.frames[j];
        const std::size_t take = std::min<std::size_t>(left, fr.size - fr.payloadOffset);
        std::memcpy(borrowed.data() + left - take, bytes + fr.offset + fr.size - take, take);
        left -= take;
    }
    const std::size_t total = plan.carrierFrames * payload;
    for (std::size_t i = 0; i < plan.carrierFrames; ++i) {
        std::uint8_t* frame = out.data() + i * size;
        // Payload bytes of this frame and those before, and the borrowed bytes among them.
        const std::size_t before = i * payload, upTo = before + payload, from = total - borrowed.size();
        const std::size_t held = before > from ? before - from : 0;
        std::uint8_t* side = frame + 4;
        if (s.format.version == MpegVersion::Mpeg1)
            side[0] = static_cast<std::uint8_t>(held >> 1), side[1] = static_cast<std::uint8_t>((held & 1) << 7);
        else
            side[0] = static_cast<std::uint8_t>(held);
        for (std::size_t b = std::max(before, from); b < upTo; ++b) frame[size - (upTo - b)] = borrowed[b - from];
    }
    return out;
}

// The Xing table of contents: for every percent of the piece's time, the
// place of its frame as a 256th of the piece's bytes.
void WriteToc(std::uint8_t* toc, const Mp3Stream& s, const Mp3PiecePlan& plan, std::size_t infoSize,
              std::size_t carrierSize, std::uint64_t bytesTotal) {
    const std::uint64_t carriers = plan.carrierFrames, own = plan.frames();
    const std::uint64_t frames = own + carriers + plan.trailerFrames;
    const std::size_t first = s.frames[plan.firstFrame].offset;
    const Mp3Frame& last = s.frames[plan.endFrame - 1];
    for (int i = 0; i < 100; ++i) {
        const std::uint64_t k = frames * static_cast<std::uint64_t>(i) / 100;
        std::uint64_t at = infoSize + std::min(k, carriers) * carrierSize;
        if (k >= carriers + own) at += last.offset + last.size - first + (k - carriers - own) * carrierSize;
        else if (k > carriers) at += s.frames[plan.firstFrame + k - carriers].offset - first;
        toc[i] = static_cast<std::uint8_t>(std::min<std::uint64_t>(255, at * 256 / bytesTotal));
    }
}

// The recording's LAME part as it is (encoder, quality, replay gain, ...),
// or a plain one when it has none.
void CopyLamePart(const std::uint8_t* bytes, const Mp3Stream& s, std::uint8_t* lame) {
    if (s.lameOffset) std::memcpy(lame, bytes + s.tagFrameOffset + s.lameOffset, kLameBytes);
    else std::memcpy(lame, "LAME3.100", 9);
}

// The source's Xing quality field, when it has one.
std::uint32_t SourceQuality(const std::uint8_t* bytes, const Mp3Stream& s) {
    if (!s.lameOffset) return 0;
    const std::uint8_t* f = bytes + s.tagFrameOffset;
    const std::size_t x = static_cast<std::size_t>(s.format.payloadOffset());
    if (!(f[x + 7] & 8)) return 0;
    const std::uint8_t* q = f + s.lameOffset - 4;
    return std::uint32_t{q[0]} << 24 | std::uint32_t{q[1]} << 16 | std::uint32_t{q[2]} << 8 | q[3];
}

struct InfoInputs {
    const std::uint8_t* bytes;
    const Mp3Stream* s;
    const Mp3PiecePlan* plan;
    const std::vector<std::uint8_t>* carrier;
    const std::vector<std::uint8_t>* trailer;
    bool constantRate;
    std::uint64_t tagBytes;  // the ID3 tags around the frames
};

std::vector<std::uint8_t> InfoFrame(const InfoInputs& in, int bitrateIndex) {
    const Mp3PiecePlan& plan = *in.plan;
    const Mp3Stream& s = *in.s;
    std::vector<std::uint8_t> out = OwnFrames(in.bytes + s.frames[plan.firstFrame].offset, s, bitrateIndex, 1);
    const std::size_t infoSize = out.size();
    std::uint8_t* x = out.data() + 4 + s.format.sideInfoBytes();
    std::memcpy(x, in.constantRate ? "Info" : "Xing", 4);
    const std::size_t span = s.frames[plan.endFrame - 1].offset + s.frames[plan.endFrame - 1].size -
                             s.frames[plan.firstFrame].offset;
    const std::uint64_t total = infoSize + in.carrier->size() + span + in.trailer->size();
    PutBe32(x + 4, 0x0F);
    PutBe32(x + 8, plan.frames() + plan.carrierFrames + plan.trailerFrames);
    // The whole file's size, as decoders compare it with the file they read
    // (FFmpeg drops the frame count when they differ by a 16th).
    PutBe32(x + 12, total + in.tagBytes);
    WriteToc(x + 16, s, plan, infoSize, in.carrier->size() / plan.carrierFrames, total);
    PutBe32(x + 116, SourceQuality(in.bytes, s));
    std::uint8_t* lame = x + kXingBytes;
    CopyLamePart(in.bytes, s, lame);
    lame[21] = static_cast<std::uint8_t>(plan.delay >> 4);
    lame[22] = static_cast<std::uint8_t>((plan.delay & 0x0F) << 4 | plan.padding >> 8);
    lame[23] = static_cast<std::uint8_t>(plan.padding);
    PutBe32(lame + 28, total);
    std::uint16_t music = LameCrc16(in.carrier->data(), in.carrier->size());
    music = LameCrc16(in.bytes + s.frames[plan.firstFrame].offset, span, music);
    music = LameCrc16(in.trailer->data(), in.trailer->size(), music);
    PutBe16(lame + 32, music);
    PutBe16(lame + 34, LameCrc16(out.data(), static_cast<std::size_t>(lame + 34 - out.data())));
    return out;
}

bool ConstantRate(const Mp3Stream& s, const Mp3PiecePlan& plan, int rate) {
    for (std::size_t j = plan.firstFrame; j < plan.endFrame; ++j)
        if (s.frames[j].bitrateIndex != rate) return false;
    return true;
}

// How many carrier frames at which bit rate, and the delay they make:
// `ahead` samples of the piece's first frame come before its first wanted
// one. Two frames at the stream's rate rather than one at another keep a CBR
// piece CBR, while the delay still fits the tag's 12 bits.
void PlanCarriers(const Mp3Stream& s, std::uint64_t ahead, Mp3PiecePlan* p) {
    const std::uint64_t spf = static_cast<std::uint64_t>(s.format.samplesPerFrame());
    p->carrierBitrate = OwnBitrate(s, s.frames[p->firstFrame].bitrateIndex, p->reservoirBytes, 2);
    const std::size_t payload = OwnPayload(s, p->carrierBitrate);
    p->carrierFrames = payload ? std::max<std::uint32_t>(1, static_cast<std::uint32_t>(
                                                               (p->reservoirBytes + payload - 1) / payload))
                               : 1;
    if (payload == 0) p->reservoirBytes = 0;
    std::uint64_t start = ahead + p->carrierFrames * spf;
    if (start > kMaxTagValue + kDecoderDelay) {  // free format's small frames only
        p->carrierFrames = 1;
        p->reservoirBytes = static_cast<std::uint32_t>(std::min<std::size_t>(p->reservoirBytes, payload));
        start = ahead + spf;
    }
    p->delay = static_cast<std::uint32_t>(start - kDecoderDelay);
}

// The first ID3v2 tag rewritten for the piece, any further ones as they are.
std::vector<std::uint8_t> Id3v2Head(const std::uint8_t* bytes, const Mp3Stream& s, const Mp3PieceTags& tags) {
    std::size_t first = 0;
    if (s.id3v2Bytes >= 10)
        first = std::min<std::size_t>(s.id3v2Bytes, 10 + (std::size_t{bytes[6] & 0x7Fu} << 21 |
                                                          std::size_t{bytes[7] & 0x7Fu} << 14 |
                                                          std::size_t{bytes[8] & 0x7Fu} << 7 | (bytes[9] & 0x7Fu)) +
                                                             ((bytes[5] & 0x10) ? 10 : 0));
    std::vector<std::uint8_t> out = PieceId3v2(bytes, first, tags);
    out.insert(out.end(), bytes + first, bytes + s.id3v2Bytes);
    return out;
}

}  // namespace

Mp3PiecePlan PlanMp3Piece(const Mp3Stream& s, std::uint64_t first, std::uint64_t end) {
    Mp3PiecePlan p;
    end = std::min(end, s.decodedSamples());
    first = std::min(first, end);
    p.firstSample = first, p.endSample = end;
    if (!s.gapless.hasLame) p.issues |= kMp3NoGaplessTag;
    if (s.freeFormat) p.issues |= kMp3FreeFormat;
    if (s.frames.empty() || first == end) {
        p.issues |= kMp3BeyondFrames;
        return p;
    }
    const std::uint64_t spf = static_cast<std::uint64_t>(s.format.samplesPerFrame());
    const std::uint64_t r0 = first + s.rawStart(), re = end + s.rawStart();
    // A frame's first samples overlap the frame before (MPEG-1's two
    // granules) or the two before (one granule): those decode first.
    const std::uint64_t back = s.format.version == MpegVersion::Mpeg1 ? 1 : 2;
    const std::uint64_t k = r0 / spf;
    const std::uint64_t last = (re - 1) / spf;  // below the frame count: re <= rawEnd
    p.firstFrame = static_cast<std::size_t>(std::min(k >= back ? k - back : 0, last));
    p.endFrame = static_cast<std::size_t>(last + 1);
    if (r0 / spf == (re - 1) / spf && re % spf != 0) p.issues |= kMp3InsideOneFrame;
    if (Damaged(s, p.firstFrame, p.endFrame)) p.issues |= kMp3Damaged;
    p.reservoirBytes = Borrowed(s, p.firstFrame, p.endFrame);
    PlanCarriers(s, r0 - p.firstFrame * spf, &p);
    const std::uint64_t endRaw = p.endFrame * spf + kDecoderDelay;
    p.padding = static_cast<std::uint32_t>(endRaw > re ? std::min<std::uint64_t>(endRaw - re, kMaxTagValue) : 0);
    // Silent frames after the last make a short piece long enough to be
    // seen as MP3, as many as the padding (which drops them) can say.
    const std::uint64_t have = 1 + p.carrierFrames + p.frames();
    for (std::uint64_t m = have < kProbedFrames ? kProbedFrames - have : 0; m > 0; --m) {
        if (p.padding + m * spf > kMaxTagValue) continue;
        p.trailerFrames = static_cast<std::uint32_t>(m);
        p.padding += static_cast<std::uint32_t>(m * spf);
        break;
    }
    return p;
}

Mp3PieceBytes BuildMp3Piece(const std::uint8_t* bytes, std::size_t size, const Mp3Stream& s, const Mp3PiecePlan& plan,
                            const Mp3PieceTags& tags) {
    Mp3PieceBytes out;
    out.head = Id3v2Head(bytes, s, tags);
    if (s.hasId3v1 && size >= 128) out.tail = PieceId3v1(bytes + size - 128, tags);
    if (plan.frames() == 0 || plan.endFrame > s.frames.size()) return out;
    out.sourceBegin = s.frames[plan.firstFrame].offset;
    out.sourceEnd = s.frames[plan.endFrame - 1].offset + s.frames[plan.endFrame - 1].size;
    const int infoRate = OwnBitrate(s, s.frames[plan.firstFrame].bitrateIndex, kXingBytes + kLameBytes, 1);
    if (OwnPayload(s, infoRate) < kXingBytes + kLameBytes) return out;  // free format too small for a tag: frames alone
    const std::vector<std::uint8_t> carriers = CarrierFrames(bytes, s, plan);
    const std::vector<std::uint8_t> trailer =
        OwnFrames(bytes + s.frames[plan.firstFrame].offset, s, plan.carrierBitrate, plan.trailerFrames);
    const bool constant = plan.carrierBitrate == infoRate && ConstantRate(s, plan, infoRate);
    const std::vector<std::uint8_t> info =
        InfoFrame({bytes, &s, &plan, &carriers, &trailer, constant, out.head.size() + out.tail.size()}, infoRate);
    out.head.insert(out.head.end(), info.begin(), info.end());
    out.head.insert(out.head.end(), carriers.begin(), carriers.end());
    out.tail.insert(out.tail.begin(), trailer.begin(), trailer.end());
    return out;
}

std::string Mp3PieceIssueText(std::uint8_t issues) {
    if (issues & kMp3Damaged) return "元の MP3 に壊れたフレームがあるため、このピースはサンプル単位で正確ではないかもしれません";
    if (issues & kMp3FreeFormat)
        return "フリーフォーマットの MP3 は再生ソフトによって扱いが異なるため、このピースは正確な長さで再生されないことがあります";
    if (issues & kMp3BeyondFrames) return "このピースには MP3 の音声がありません";
    if (issues & kMp3InsideOneFrame)
        return "このピースは MP3 の 1 フレームより短いため、再生ソフトによっては前後が余分に再生されます";
    return "";
}

}  // namespace tw
