// What a load tells about the data it read: a size the header got wrong, a
// last frame cut short.
#pragma once

#include <string>

#include "core/wave/wave_format.h"

namespace tw {

// The notice for a layout FitDataToFile changed.
std::string DataFittedText(const WaveLayout& layout);
// The notice for data that ends inside a frame (PartialFrameBytes > 0).
std::string PartialFrameText(const WaveLayout& layout);
// The window's status line after a load: either notice that applies, or both.
std::string LoadNoticeText(const WaveLayout& layout, bool fitted);

}  // namespace tw
