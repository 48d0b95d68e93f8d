#include "cli/split_json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/cut/mp3_save.h"
#include "core/cut/piece_writer.h"

namespace tw {

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n;
    std::uint32_t cp;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) { n = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { n = 3; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { n = 4; cp = c & 0x07; }
    else return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

void JsonWriter::Separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_) text_ += ',';
    first_ = false;
}

JsonWriter& JsonWriter::BeginObject() {
    Separate();
    text_ += '{';
    first_ = true;
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    text_ += '}';
    first_ = false;
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Separate();
    text_ += '[';
    first_ = true;
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    text_ += ']';
    first_ = false;
    return *this;
}

JsonWriter& JsonWriter::Key(const std::string& name) {
    String(name);
    text_ += ':';
    afterKey_ = true;
    return *this;
}

// Bytes that are not UTF-8 (a Linux file name may hold any) become U+FFFD so
// the line stays valid JSON.
JsonWriter& JsonWriter::String(const std::string& s) {
    Separate();
    text_ += '"';
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t n = Utf8Length(s, i);
        if (n == 0) {
            text_ += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            text_ += '\\';
            text_ += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            text_ += esc;
        } else {
            text_.append(s, i, n);
        }
        i += n;
    }
    text_ += '"';
    return *this;
}

JsonWriter& JsonWriter::Number(std::uint64_t value) {
    Separate();
    text_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Number(double value) {
    Separate();
    if (!std::isfinite(value)) {
        text_ += "null";
        return *this;
    }
    char t[40];
    if (value == std::floor(value) && std::fabs(value) < 9007199254740992.0) {
        std::snprintf(t, sizeof t, "%.0f", value);
    } else {
        for (int digits = 1; digits <= 17; ++digits) {
            std::snprintf(t, sizeof t, "%.*g", digits, value);
            if (std::strtod(t, nullptr) == value) break;
        }
    }
    text_ += t;
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    Separate();
    text_ += value ? "true" : "false";
    return *this;
}

namespace {

// An MP3 piece's frames of the recording, the first and last sample they
// give, and the piece file's size.
void Mp3Facts(const PieceSave& save, std::size_t k, JsonWriter& j) {
    const Mp3PiecePlan& p = save.mp3Plans[k];
    j.Key("mp3").BeginObject().Key("first_frame").Number(std::uint64_t{p.firstFrame}).Key("frames").Number(std::uint64_t{p.frames()});
    j.Key("first_sample").Number(p.firstSample).Key("last_sample").Number(p.endSample > p.firstSample ? p.endSample - 1 : p.firstSample);
    j.Key("bytes").Number(Mp3PieceOf(save, k).size());
    j.EndObject();
}

}  // namespace

std::string SplitJsonLine(const SplitJsonFacts& f) {
    const WaveLayout& l = *f.layout;
    const PieceSave& save = f.plan->save;
    const std::uint64_t sampleBytes = l.sampleBytes();
    const std::uint64_t frameBytes = sampleBytes * (l.channels ? l.channels : 1);
    const double bytesPerSecond = static_cast<double>(frameBytes) * l.sampleRate;
    auto seconds = [bytesPerSecond](std::uint64_t bytes) {
        // Six decimals, as a label file gives them.
        return bytesPerSecond > 0 ? std::round(static_cast<double>(bytes) / bytesPerSecond * 1e6) / 1e6 : 0.0;
    };
    JsonWriter j;
    j.BeginObject().Key("path").String(f.path);
    j.Key("channels").Number(std::uint64_t{l.channels}).Key("sample_rate").Number(std::uint64_t{l.sampleRate});
    j.Key("bits").Number(std::uint64_t{l.bitsPerSample});
    j.Key("peak").Number(f.stats.peak).Key("nadir").Number(f.stats.nadir);
    j.Key("smallest_positive").Number(f.stats.smallestPositive).Key("average").Number(static_cast<double>(f.stats.average));
    j.Key("cuts").BeginArray();
    for (double c : f.plan->cuts) j.Number(c);
    j.EndArray();
    if (f.pauseRun) j.Key("threshold").Number(f.threshold).Key("pause_ms").Number(f.pauseMs);
    j.Key("pieces").BeginArray();
    for (std::size_t k = 0; k < save.pieces.size(); ++k) {
        const Piece& p = save.pieces[k];
        j.BeginObject().Key("file").String(save.names[k]).Key("name").String(BarePieceName(save, save.names[k]));
        j.Key("start").Number(seconds(p.offset)).Key("end").Number(seconds(p.offset + p.length));
        j.Key("trimmed").Bool(save.trimmed[k]);
        j.Key("first").Number(p.offset / sampleBytes).Key("samples").Number(p.length / sampleBytes);
        j.Key("bytes").Number(p.length);
        j.Key("first_frame").Number(p.offset / frameBytes).Key("frames").Number(p.length / frameBytes);
        if (save.mp3) Mp3Facts(save, k, j);
        if (!f.dryRun) j.Key("written").Bool(f.written);
        j.EndObject();
    }
    j.EndArray().EndObject();
    return j.Text() + "\n";
}

std::string SplitJsonError(const std::string& path, const std::string& text) {
    JsonWriter j;
    j.BeginObject().Key("path").String(path).Key("error").String(text).EndObject();
    return j.Text() + "\n";
}

}  // namespace tw
