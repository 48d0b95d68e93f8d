// The loaded recording: its data chunk with its header, and which one the
// window shows now.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "core/view/wave_summary.h"
#include "core/wave/recording_source.h"
#include "core/wave/wave_format.h"
#include "core/wave/wave_stats.h"

namespace tw {

// One loaded data chunk with its header. Its samples never change once
// published; workers hold it by shared_ptr so a new load never frees samples
// still in use.
//
// The bytes are either a private block (filled by the loader) or a read-only
// view of the file itself. A view lets the numbers and the graph come from
// the file cache at once instead of from fresh memory; should the file's
// pages go away under it (medium removed, file cut short by another program)
// the view turns into zeros instead of faulting, and Damaged() says so.
struct WaveData {
    // The file's sample format (encoding, channels, rate), where its data is
    // and how much of it the file holds (dataSize), and the header its pieces
    // get; set before the bytes are allocated or mapped.
    WaveLayout layout;
    std::string sourcePath;         // the dropped file, UTF-8: pieces go beside it
    std::string notice;             // for the status line once the graph is up
    WaveStats stats;                // as measured by the load; the graph's scale
    // Its lowest and highest values, made as the load measured them (none
    // when the load could not: the graph makes it then).
    std::shared_ptr<const WaveSummary> summary;
    std::uint8_t* bytes = nullptr;  // dataSize() bytes
    // Which recording this is: unique to each WaveData made, except that a
    // copy taking a view's place keeps the view's, so drawings of either
    // count as drawings of the recording shown. Set by the load that makes it.
    std::uint64_t recording = 0;
    // An MP3 file's own frames, kept for pieces written from them.
    std::shared_ptr<const Mp3Source> mp3;

    WaveData();
    WaveData(const WaveData&) = delete;
    WaveData& operator=(const WaveData&) = delete;
    ~WaveData();
    // Reserves and commits dataSize() zeroed bytes; false when that fails.
    bool Allocate();
    // Maps the data of `file`, which the file must hold whole; the file
    // handle is duplicated, so the caller keeps its own. False when the
    // system will not map it (the caller reads it instead).
    bool MapFile(HANDLE file);
    bool Mapped() const { return view_ != nullptr; }
    // True once a read of the view failed: the bytes are no longer the file's.
    bool Damaged() const;
    SampleEncoding encoding() const { return layout.encoding; }
    std::uint32_t sampleBytes() const { return ContainerBytes(layout.encoding); }
    std::uint64_t dataSize() const { return layout.dataSize; }
    std::uint64_t sampleCount() const { return layout.sampleCount; }
    // D as measurement, graph and cutting take it (WaveLayout::scaleSize).
    std::uint64_t scaleSize() const { return layout.scaleSize(); }
    // The value of sample `index` on the 16-bit scale.
    std::int16_t sample(std::uint64_t index) const { return SampleValue(bytes, layout.encoding, index); }

    struct View;

private:
    View* view_ = nullptr;  // the mapping, when the bytes are the file's
};
using WavePtr = std::shared_ptr<const WaveData>;

struct WorkerState;
// The recording `workers` show now.
WavePtr CurrentWave(const WorkerState& workers);
void SetCurrentWave(WorkerState& workers, WavePtr wave);
// Puts `replacement` in place of `expected` only if that is still the one
// shown; true when it did.
bool ReplaceCurrentWave(WorkerState& workers, const WavePtr& expected, WavePtr replacement);

}  // namespace tw
