// What a refused file's samples are, in words, for the window's message and
// the command line's. Its literals take the code page of the file that
// includes it (CP932 in the window, UTF-8 on the command line), so the
// functions are internal to each such file.
#pragma once

#include <cstdint>
#include <string>

#include "core/wave/wave_format.h"

namespace tw {
namespace {

// The first line of the message for any file whose samples cannot be read.
const char* const kUnsupportedFormatText = "このWAVファイルの形式には対応していません";
// Why a file was not loaded: the window's box and tarnwick-split say the same.
const char* const kCannotOpenText = "ファイルを開けません";
const char* const kCannotReadText = "ファイルを読み込めません";
const char* const kNotWaveText = "WAVファイルではありません";
const char* const kNoDataText = "WAVファイルにデータがありません";
const char* const kNoMemoryText = "メモリが足りないため、WAVファイルを読み込めません";

// A file of another well-known kind (ForeignFormatName): `name` is the
// file's name without its folder, `kind` what the file is.
inline std::string ForeignFileText(const std::string& name, const char* kind) {
    return name + " は " + kind + " ファイルです。WAV に変換してから読み込んでください";
}

// Names of the compressed formats recorders and players still write.
inline const char* CompressedFormatName(std::uint16_t tag) {
    switch (tag) {
        case 0x0002: return "MS ADPCM";
        case 0x0011: return "IMA ADPCM";
        case 0x0031: return "GSM 6.10";
        case 0x0040: return "G.721 ADPCM";
        case 0x0050: return "MPEG";
        case 0x0055: return "MP3";
        case 0x0092: return "AC-3";
        case 0x00FF:
        case 0x1610: return "AAC";
        case 0x0160:
        case 0x0161:
        case 0x0162:
        case 0x0163: return "WMA";
        case 0x2000: return "AC-3";
        case 0xF1AC: return "FLAC";
        default: return nullptr;
    }
}

// What is not supported, e.g. "IMA ADPCM で圧縮された音声（形式番号 17）".
inline std::string FormatProblemText(const WaveLayout& layout) {
    const std::string bits = std::to_string(layout.bitsPerSample);
    switch (layout.problem) {
        case FormatProblem::NoFmtChunk: return "fmt チャンクがありません";
        case FormatProblem::ShortFmtChunk: return "fmt チャンクが短すぎます";
        case FormatProblem::Compressed: {
            const std::string number = "形式番号 " + std::to_string(layout.formatTag);
            if (layout.formatTag == 0xFFFE) return "拡張形式の知らないサブフォーマット";
            if (const char* name = CompressedFormatName(layout.formatTag))
                return std::string(name) + " で圧縮された音声（" + number + "）";
            return "知らない形式の音声（" + number + "）";
        }
        case FormatProblem::NoChannels: return "チャンネル数が 0 です";
        case FormatProblem::NoSampleRate: return "サンプリング周波数が 0 です";
        case FormatProblem::BadBits:
            if (layout.formatTag == 3) return bits + " ビットの浮動小数点（読めるのは 32、64 ビット）";
            if (layout.formatTag == 6 || layout.formatTag == 7)
                return bits + " ビットの G.711（読めるのは 8 ビット）";
            return bits + " ビットの PCM（読めるのは 8、16、24、32 ビット）";
        case FormatProblem::BadValidBits: return "有効ビット数がサンプルの大きさ（" + bits + " ビット）を超えています";
        case FormatProblem::BadBlockAlign: return "ブロックの大きさがチャンネル数とサンプルの大きさに合いません";
        case FormatProblem::NoDs64: return "RF64 ファイルに ds64 チャンクがありません";
        case FormatProblem::None: break;
    }
    return std::string();
}

}  // namespace
}  // namespace tw
