#include "core/wave/load_notice.h"

#include <cstdint>

namespace tw {

namespace {
std::string Count(std::uint64_t n) { return std::to_string(n); }
}  // namespace

std::string DataFittedText(const WaveLayout& layout) {
    return "データの大きさがヘッダーの示す " + Count(layout.claimedSize) + " バイトと合わないため、ファイルにある " +
           Count(layout.dataSize) + " バイトを読み込みました";
}

std::string PartialFrameText(const WaveLayout& layout) {
    return "最後の " + Count(PartialFrameBytes(layout)) + " バイトはフレームの途中で終わっているため、ピースに含めません";
}

std::string LoadNoticeText(const WaveLayout& layout, bool fitted) {
    std::string text = fitted ? DataFittedText(layout) : std::string();
    if (PartialFrameBytes(layout) > 0) text += (text.empty() ? "" : "。") + PartialFrameText(layout);
    return text;
}

}  // namespace tw
