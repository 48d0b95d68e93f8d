#include "core/cut/mp3_tags.h"

#include <algorithm>
#include <cstring>

namespace tw {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The code points of UTF-8 text; a byte that starts no valid sequence is U+FFFD.
std::vector<std::uint32_t> CodePoints(const std::string& text) {
    std::vector<std::uint32_t> out;
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const std::uint8_t c = s[i];
        const int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        std::uint32_t cp = more == 0 ? c : more == 1 ? c & 0x1Fu : more == 2 ? c & 0x0Fu : c & 0x07u;
        bool ok = more >= 0 && i + static_cast<std::size_t>(more) < n;
        for (int k = 1; ok && k <= more; ++k) {
            ok = (s[i + static_cast<std::size_t>(k)] & 0xC0) == 0x80;
            cp = cp << 6 | (s[i + static_cast<std::size_t>(k)] & 0x3Fu);
        }
        ok = ok && cp <= 0x10FFFF && !(cp >= 0xD800 && cp < 0xE000) &&
             (more < 1 || cp >= (more == 1 ? 0x80u : more == 2 ? 0x800u : 0x10000u));
        out.push_back(ok ? cp : 0xFFFD);
        i += ok ? static_cast<std::size_t>(more) + 1 : 1;
    }
    return out;
}

// Encoding 1: UTF-16 with its byte-order mark (little-endian), which every
// ID3v2 version and reader takes.
Bytes Utf16Text(const std::string& text, bool surrogates) {
    Bytes out = {1, 0xFF, 0xFE};
    auto unit = [&](std::uint32_t u) {
        out.push_back(static_cast<std::uint8_t>(u));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    };
    for (std::uint32_t cp : CodePoints(text)) {
        if (cp < 0x10000) unit(cp);
        else if (!surrogates) unit(0xFFFD);  // version 2.2 is UCS-2
        else unit(0xD800 + ((cp - 0x10000) >> 10)), unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
    return out;
}

std::string TrackText(const Mp3PieceTags& tags) {
    std::string t = std::to_string(tags.track);
    if (tags.count) t += "/" + std::to_string(tags.count);
    return t;
}

std::uint32_t ReadSyncSafe(const std::uint8_t* p) {
    return std::uint32_t{p[0] & 0x7Fu} << 21 | std::uint32_t{p[1] & 0x7Fu} << 14 | std::uint32_t{p[2] & 0x7Fu} << 7 |
           (p[3] & 0x7Fu);
}
std::uint32_t ReadBe(const std::uint8_t* p, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | p[i];
    return v;
}
void PutBe32(Bytes* out, std::uint32_t v, bool syncSafe) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const int s = syncSafe ? shift / 8 * 7 : shift;
        out->push_back(static_cast<std::uint8_t>(syncSafe ? (v >> s) & 0x7F : v >> s));
    }
}

// Unsynchronisation undone: every 0xFF 0x00 loses its 0x00.
Bytes Resynchronised(const std::uint8_t* p, std::size_t n) {
    Bytes out;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(p[i]);
        if (p[i] == 0xFF && i + 1 < n && p[i + 1] == 0x00) ++i;
    }
    return out;
}

bool FrameIdChar(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

struct TagWriter {
    explicit TagWriter(int v) : version(v) {}
    int version;  // 2, 3 or 4
    Bytes frames;
    bool wroteTitle = false, wroteTrack = false;

    void Frame(const char* id, const Bytes& data, std::uint16_t flags = 0) {
        const std::size_t idBytes = version == 2 ? 3 : 4;
        frames.insert(frames.end(), id, id + idBytes);
        if (version == 2) {
            for (int shift = 16; shift >= 0; shift -= 8) frames.push_back(static_cast<std::uint8_t>(data.size() >> shift));
        } else {
            PutBe32(&frames, static_cast<std::uint32_t>(data.size()), version == 4);
            frames.push_back(static_cast<std::uint8_t>(flags >> 8));
            frames.push_back(static_cast<std::uint8_t>(flags));
        }
        frames.insert(frames.end(), data.begin(), data.end());
    }
    void Title(const Mp3PieceTags& tags) {
        if (!wroteTitle) Frame(version == 2 ? "TT2" : "TIT2", Utf16Text(tags.title, version != 2));
        wroteTitle = true;
    }
    void Track(const Mp3PieceTags& tags) {
        const std::string t = TrackText(tags);
        Bytes data = {0};
        data.insert(data.end(), t.begin(), t.end());
        if (!wroteTrack && tags.track) Frame(version == 2 ? "TRK" : "TRCK", data);
        wroteTrack = tags.track != 0;
    }
    Bytes Tag() const {
        Bytes out = {'I', 'D', '3', static_cast<std::uint8_t>(version), 0, 0};
        PutBe32(&out, static_cast<std::uint32_t>(frames.size()), true);
        out.insert(out.end(), frames.begin(), frames.end());
        return out;
    }
};

// A frame's size field: version 2.4 is sync-safe, but some writers put a
// plain number there, which shows as a byte with its high bit set.
std::uint32_t FrameSize(int version, const std::uint8_t* p) {
    if (version == 2) return ReadBe(p, 3);
    if (version == 4 && !((p[0] | p[1] | p[2] | p[3]) & 0x80)) return ReadSyncSafe(p);
    return ReadBe(p, 4);
}

// The frames of a tag's body, the piece's title and track put in place of
// the recording's. False when the body is no frame list.
void CopyFrames(const Bytes& body, std::size_t at, TagWriter* w, const Mp3PieceTags& tags) {
    const std::size_t head = w->version == 2 ? 6 : 10, idBytes = w->version == 2 ? 3 : 4;
    while (body.size() - at >= head && FrameIdChar(body[at])) {
        const std::uint8_t* f = body.data() + at;
        const std::uint32_t size = FrameSize(w->version, f + idBytes);
        if (size > body.size() - at - head) break;
        const std::string id(reinterpret_cast<const char*>(f), idBytes);
        std::uint16_t flags = w->version == 2 ? 0 : static_cast<std::uint16_t>(ReadBe(f + 8, 2));
        Bytes data(f + head, f + head + size);
        if (w->version == 4 && (flags & 0x02)) {  // this frame alone unsynchronised
            data = Resynchronised(data.data(), data.size());
            flags &= ~std::uint16_t{0x02};
        }
        if (id == "TIT2" || id == "TT2") w->Title(tags);
        else if ((id == "TRCK" || id == "TRK") && tags.track) w->Track(tags);
        else w->Frame(id.c_str(), data, flags);
        at += head + size;
    }
}

}  // namespace

std::vector<std::uint8_t> PieceId3v2(const std::uint8_t* tag, std::size_t size, const Mp3PieceTags& tags) {
    const bool readable = size >= 10 && std::memcmp(tag, "ID3", 3) == 0 && tag[3] >= 2 && tag[3] <= 4;
    TagWriter w(readable ? tag[3] : 3);
    if (readable) {
        const std::size_t declared = std::min<std::size_t>(ReadSyncSafe(tag + 6), size - 10);
        const std::uint8_t flags = tag[5];
        // Version 2.2 and 2.3 unsynchronise the whole body; 2.4 says so per frame.
        Bytes body = (flags & 0x80) && w.version < 4 ? Resynchronised(tag + 10, declared)
                                                     : Bytes(tag + 10, tag + 10 + declared);
        std::size_t at = 0;
        if ((flags & 0x40) && w.version == 3 && body.size() >= 4) at = 4 + std::size_t{ReadBe(body.data(), 4)};
        if ((flags & 0x40) && w.version == 4 && body.size() >= 4) at = ReadSyncSafe(body.data());
        // Version 2.2's bit 6 is compression, which no reader knows: the tag is left out.
        if (!((flags & 0x40) && w.version == 2) && at <= body.size()) CopyFrames(body, at, &w, tags);
    }
    w.Title(tags);
    w.Track(tags);
    return w.Tag();
}

std::vector<std::uint8_t> PieceId3v1(const std::uint8_t* tag128, const Mp3PieceTags& tags) {
    Bytes out(tag128, tag128 + 128);
    std::fill(out.begin() + 3, out.begin() + 33, std::uint8_t{0});
    std::size_t at = 3;
    for (std::uint32_t cp : CodePoints(tags.title)) {
        if (at == 33) break;
        out[at++] = static_cast<std::uint8_t>(cp < 0x100 ? cp : '?');
    }
    if (tags.track && tags.track < 256) {
        out[125] = 0;
        out[126] = static_cast<std::uint8_t>(tags.track);
    }
    return out;
}

}  // namespace tw
