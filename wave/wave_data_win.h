// The loaded recording: its data chunk with its header, and which one the
// window shows now.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "wave/wave_format.h"
#include "wave/wave_stats.h"

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
    WaveHeaderBytes header{};       // the file's first 44 bytes
    WaveHeaderBytes pieceHeader{};  // what every piece's header is made from
    // The file's sample format (encoding, channels, rate) and where its data
    // is; layout.dataSize and layout.pieceHeader are those above.
    WaveLayout layout;
    std::uint64_t dataSize = 0;     // of the data chunk, as much as the file holds
    std::string sourcePath;         // the dropped file, UTF-8: pieces go beside it
    std::string notice;             // for the status line once the graph is up
    WaveStats stats;                // as measured by the load; the graph's scale
    std::uint8_t* bytes = nullptr;  // dataSize bytes
    // Which recording this is: unique to each WaveData made, except that a
    // copy taking a view's place keeps the view's, so drawings of either
    // count as drawings of the recording shown.
    std::uint64_t recording;

    WaveData();
    WaveData(const WaveData&) = delete;
    WaveData& operator=(const WaveData&) = delete;
    ~WaveData();
    // Reserves and commits dataSize zeroed bytes; false when that fails.
    bool Allocate(std::uint64_t size);
    // Maps [offset, offset + size) of `file`, which the file must hold whole;
    // the file handle is duplicated, so the caller keeps its own. False when
    // the system will not map it (the caller reads it instead).
    bool MapFile(HANDLE file, std::uint64_t offset, std::uint64_t size);
    bool Mapped() const { return view_ != nullptr; }
    // True once a read of the view failed: the bytes are no longer the file's.
    bool Damaged() const;
    SampleEncoding encoding() const { return layout.encoding; }
    std::uint32_t sampleBytes() const { return ContainerBytes(layout.encoding); }
    std::uint64_t sampleCount() const { return dataSize / sampleBytes(); }
    // D as measurement, graph and cutting take it (WaveLayout::scaleSize).
    std::uint64_t scaleSize() const {
        return layout.encoding == SampleEncoding::Pcm16 ? dataSize : 2 * sampleCount();
    }
    // The value of sample `index` on the 16-bit scale.
    std::int16_t sample(std::uint64_t index) const { return SampleValue(bytes, layout.encoding, index); }

    struct View;

private:
    View* view_ = nullptr;  // the mapping, when the bytes are the file's
};
using WavePtr = std::shared_ptr<const WaveData>;

WavePtr CurrentWave();
void SetCurrentWave(WavePtr wave);
// Puts `replacement` in place of `expected` only if that is still the one
// shown; true when it did.
bool ReplaceCurrentWave(const WavePtr& expected, WavePtr replacement);

}  // namespace tw
