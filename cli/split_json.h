// tarnwick-split's --json: one line per input for scripts, every number a
// JSON number, every text valid UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/cut/save_plan.h"
#include "core/wave/wave_format.h"
#include "core/wave/wave_stats.h"

namespace tw {

// A JSON text built in order: commas and quoting are its business.
class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(const std::string& name);
    JsonWriter& String(const std::string& text);
    JsonWriter& Number(std::uint64_t value);
    // Whole values below 2^53 as integers, others in the fewest digits that
    // read back as the same double; NaN and infinities as null.
    JsonWriter& Number(double value);
    JsonWriter& Bool(bool value);
    const std::string& Text() const { return text_; }

private:
    void Separate();
    std::string text_;
    bool first_ = true;     // nothing yet in the open object or array
    bool afterKey_ = false;
};

// What one input's line tells.
struct SplitJsonFacts {
    std::string path;
    const WaveLayout* layout = nullptr;
    WaveStats stats;
    const SavePlan* plan = nullptr;
    bool pauseRun = false;   // then the threshold used and the shortest pause
    double threshold = 0;
    double pauseMs = 0;
    bool dryRun = false;     // no "written" then
    bool written = false;    // the whole set (a save is all or none)
};
std::string SplitJsonLine(const SplitJsonFacts& facts);
// {"path":..., "error":...}
std::string SplitJsonError(const std::string& path, const std::string& text);

}  // namespace tw
