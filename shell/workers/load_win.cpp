// Loading a dropped WAV file on a worker thread: header check, data read in
// chunks measured as they arrive, the numbers shown, then the graph drawn.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/cut/mp3_save.h"
#include "core/cut/piece_writer.h"
#include "core/support/file_io.h"
#include "core/support/number_text.h"
#include "platform/win/handles_win.h"
#include "platform/win/text_win.h"
#include "core/wave/foreign_format.h"
#include "core/wave/format_text.h"
#include "core/wave/read_measure.h"
#include "core/wave/load_notice.h"
#include "core/wave/recording_source.h"
#include "core/wave/wave_format.h"
#include "core/wave/wave_stats.h"
#include "shell/workers/wave_win.h"
#include "shell/workers/window_report_win.h"
#include "shell/workers/worker_state_win.h"

namespace tw {

namespace {

// Small enough that a piece is still in cache when it is measured, large
// enough that handing pieces between the two threads costs next to nothing.
constexpr std::uint32_t kChunkBytes = 1u << 20;

// Data beyond this stays the file's own mapped bytes for as long as it is
// shown (the file kept from writers meanwhile): a private copy of a long RF64
// take would cost as much memory as the take.
constexpr std::uint64_t kLargestCopied = 1ull << 32;

unsigned ProcessorCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

// Read once from start to end: on Windows the sequential hint lets the cache
// read further ahead of a file that is not in memory yet.
constexpr DWORD kReadFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;

// The dropped name as Windows holds it, so a name outside the code page is
// still the file dropped. A long absolute path goes through the \\?\ form so
// the whole name is used, never a cut one. Other readers are let in (the same
// file dropped again while its last load is still mapped, a player); writers
// are not, since the recording may be mapped.
HANDLE OpenForReading(const std::wstring& path) {
    return CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, kReadFlags, nullptr);
}

// The name as the code page can show it; a character it lacks becomes "?"
// rather than a look-alike, so the box never names another file.
std::string ShownPath(const std::wstring& path) {
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), -1, &text[0], n, "?", nullptr);
    text.resize(static_cast<size_t>(n - 1));
    return text;
}

bool SeekTo(HANDLE file, std::uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

// Wine checks a read buffer by reading and then writing one byte of each page,
// so a fresh page takes two faults (the shared zero page, then a copy of it)
// before the data lands. One plain store per page first leaves a single fault;
// the block is zero-filled already, so the stored zero changes nothing.
void TouchForWriting(std::uint8_t* into, std::uint32_t size) {
    constexpr std::uint32_t kPage = 4096;
    volatile std::uint8_t* bytes = into;
    for (std::uint32_t i = 0; i < size; i += kPage) bytes[i] = 0;
    if (size > 0) bytes[size - 1] = 0;  // the last page of a range that starts mid-page
}

// Faults each page of a view in, so the measurement behind finds it there.
void TouchForReading(const std::uint8_t* at, std::uint32_t size) {
    constexpr std::uint32_t kPage = 4096;
    const volatile std::uint8_t* bytes = at;
    for (std::uint32_t i = 0; i < size; i += kPage) (void)bytes[i];
    if (size > 0) (void)bytes[size - 1];
}

bool Superseded(const WorkerState& workers, WindowReport& report, std::uint64_t drop) {
    return drop != workers.loads.latestDrop.load() || report.Closing();
}

void Warn(WindowReport& report, const std::string& text) { report.Message(text, "Error", MB_ICONWARNING | MB_OK); }

// Reads up to `size` bytes; false on a read error (not on the end of the file).
bool ReadUpTo(HANDLE file, std::uint8_t* into, DWORD size, DWORD* got) {
    *got = 0;
    while (*got < size) {
        DWORD n = 0;
        if (!ReadFile(file, into + *got, size - *got, &n, nullptr)) return false;
        if (n == 0) break;
        *got += n;
    }
    return true;
}

// Once the numbers and the graph are up, the mapped samples are copied into
// private memory behind the scenes and the copy takes the view's place, so
// the file is let go a few seconds after the drop, as if it had been read:
// it can be overwritten, deleted or unplugged while the window keeps its
// recording. Given up for a newer drop or a closing window; a view that went
// bad meanwhile (file cut short, medium gone) loses the recording, with the
// message a failed read gives.
void MoveIntoPrivateMemory(WorkerState& workers, WindowReport& report, const WavePtr& view, std::uint64_t drop, const std::string& path) {
    // Fresh pages are slow on some machines: the graph comes first.
    while (report.Drawing() && !Superseded(workers, report, drop)) Sleep(5);
    auto copy = std::make_shared<WaveData>();
    copy->layout = view->layout;
    copy->recording = view->recording;
    copy->sourcePath = view->sourcePath;
    copy->notice = view->notice;
    copy->stats = view->stats;
    copy->summary = view->summary;
    if (Superseded(workers, report, drop) || !copy->Allocate()) return;  // the view stays
    for (std::uint64_t at = 0; at < view->dataSize() && !view->Damaged(); at += kChunkBytes) {
        if (Superseded(workers, report, drop)) return;
        std::memcpy(copy->bytes + at, view->bytes + at,
                    static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, view->dataSize() - at)));
    }
    if (view->Damaged()) {
        if (ReplaceCurrentWave(workers, view, nullptr)) {
            report.NoFile();
            Warn(report, std::string(kCannotReadText) + "\r\n" + path);
        }
        return;
    }
    ReplaceCurrentWave(workers, view, std::move(copy));
}

// The file's name without its folder; split in wide text, where a backslash
// is always a separator.
std::wstring NameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The name as the code page can show it.
std::string ShownName(const std::wstring& path) { return ShownPath(NameOf(path)); }

// A load that goes no further: the box says why, and the status line no
// longer says a file is being read.
void Refuse(WindowReport& report, const std::wstring& widePath, const std::string& text) {
    const std::string name = ShownName(widePath);
    report.Status((name.empty() ? ShownPath(widePath) : name) + " を読み込めませんでした");
    Warn(report, text);
}

// The header and the chunk walk: false (the user told why) when the file
// cannot be loaded; the file is then positioned at its data.
bool ReadLayout(WindowReport& report, HANDLE file, const std::wstring& widePath, WaveHeaderBytes* header,
                WaveLayout* layout) {
    const std::string path = ShownPath(widePath);
    // A file shorter than the header leaves zeros, never a previous file's bytes.
    DWORD got = 0;
    if (!ReadUpTo(file, header->data(), static_cast<DWORD>(header->size()), &got)) {
        Refuse(report, widePath, std::string(kCannotReadText) + "\r\n" + path);
        return false;
    }
    // Fewer than 44 bytes is not a WAV file, whatever its first tags say.
    if (got < header->size() || !RiffWaveAccepted(*header)) {
        if (const char* kind = ForeignFormatName(header->data(), got)) {
            Refuse(report, widePath, ForeignFileText(ShownName(widePath), kind));
            return false;
        }
        Refuse(report, widePath, path + "\r\n" + kNotWaveText + "\r\n" + HeaderTagText(*header));
        return false;
    }
    // The fmt and data chunks: at 12 and 36 in a canonical file, else found
    // by walking the chunks.
    const LayoutOutcome found = FindWaveLayout(
        *header,
        [file](std::uint64_t offset, std::uint8_t* into, std::uint32_t want) -> std::int64_t {
            DWORD n = 0;
            if (!SeekTo(file, offset) || !ReadUpTo(file, into, want, &n)) return -1;
            return n;
        },
        layout);
    if (found == LayoutOutcome::ReadError || (found == LayoutOutcome::Found && !SeekTo(file, layout->dataOffset))) {
        Refuse(report, widePath, std::string(kCannotReadText) + "\r\n" + path);
        return false;
    }
    if (found == LayoutOutcome::Unsupported) {
        Refuse(report, widePath, std::string(kUnsupportedFormatText) + "\r\n" + FormatProblemText(*layout) + "\r\n" + path);
        return false;
    }
    if (found == LayoutOutcome::NoDataChunk) {
        Refuse(report, widePath, std::string(kNoDataText) + "\r\n" + path);
        return false;
    }
    return true;
}

// The samples measured as they arrive: straight from the file cache through
// a view when the file holds them whole and the system maps it, otherwise
// read into a block of the recording's own.
ReadMeasureResult MapOrReadSamples(WindowReport& report, WaveData& wave, HANDLE file, bool whole, const std::string& path) {
    const WaveLayout& layout = wave.layout;
    const std::uint64_t dataSize = layout.dataSize;
    const bool concurrent = dataSize > kChunkBytes && ProcessorCount() > 1;
    auto closing = [&report] { return report.Closing(); };
    // The graph's summary is made behind the read too, on samples just measured.
    auto summary = std::make_shared<WaveSummary>(WaveSummary::Start(layout.encoding, wave.scaleSize() / 2));
    auto summarise = [&wave, summary](std::uint64_t upTo) { summary->Extend(wave.bytes, upTo); };
    auto finish = [&wave, summary](const ReadMeasureResult& loaded) {
        if (loaded.outcome == ReadOutcome::Complete && !wave.Damaged()) {
            summary->Finish(wave.bytes);
            wave.summary = summary;
        }
        return loaded;
    };
    ReadMeasureResult loaded;
    if (whole && wave.MapFile(file)) {
        // The helper thread faults the pages in ahead of the measurement.
        loaded = ReadAndMeasure(
            wave.bytes, dataSize, kChunkBytes, concurrent,
            [](std::uint8_t* at, std::uint32_t want) -> std::int64_t {
                TouchForReading(at, want);
                return want;
            },
            closing, layout.encoding, summarise);
        if (wave.Damaged()) loaded.outcome = ReadOutcome::ReadError;
        return finish(loaded);
    }
    if (!wave.Allocate()) {
        report.NoFile();
        Warn(report, std::string(kNoMemoryText) + "\r\n" + path);
        loaded.outcome = ReadOutcome::Stopped;  // told already
        return loaded;
    }
    // The read runs on a helper thread while this one measures the pieces
    // already in, so the sequential sum costs no time of its own.
    return finish(ReadAndMeasure(
        wave.bytes, dataSize, kChunkBytes, concurrent,
        [file](std::uint8_t* into, std::uint32_t want) -> std::int64_t {
            DWORD n = 0;
            TouchForWriting(into, want);
            if (!ReadFile(file, into, want, &n, nullptr)) return -1;
            return n;
        },
        closing, layout.encoding, summarise));
}

// What a file that is no WAV file is, when it is a kind that is decoded;
// the file is left at its start.
const char* DecodableKindOf(HANDLE file) {
    std::uint8_t head[kForeignProbeBytes] = {};
    DWORD got = 0;
    const bool read = ReadUpTo(file, head, sizeof head, &got);
    if (!SeekTo(file, 0) || !read) return nullptr;
    WaveHeaderBytes header{};
    std::memcpy(header.data(), head, std::min<std::size_t>(got, header.size()));
    if (got >= header.size() && RiffWaveAccepted(header)) return nullptr;
    const char* kind = ForeignFormatName(head, got);
    return DecodableKind(kind) ? kind : nullptr;
}

// The recording decoded into `decoded`, with its progress in the bar and the
// status line; given up for a newer drop or a closing window. False (the
// user told why, unless given up) when there is nothing to show.
bool DecodeIntoTemporary(WorkerState& workers, WindowReport& report, const std::wstring& widePath, const char* kind, std::uint64_t drop,
                         TempFile& decoded, bool* damaged) {
    DecodeReport done;
    if (!decoded.Create(&done.reason)) {
        done.cannotWrite = true;
    } else {
        report.ProgressBegin();
        int shown = -1;
        done = DecodeIntoWave(Utf8FromWide(widePath), kind, decoded, [&](int percent) {
            if (percent != shown) {
                shown = percent;
                report.Progress(percent);
                report.Status(CodePageFromUtf8(DecodingStatusText(kind, percent), CP_ACP));
            }
            return !Superseded(workers, report, drop);
        });
        report.ProgressEnd();
    }
    *damaged = done.outcome == DecodeOutcome::Damaged;
    if (done.outcome == DecodeOutcome::Complete || *damaged)
        return SeekTo(reinterpret_cast<HANDLE>(decoded.handle()), 0) && !Superseded(workers, report, drop);
    if (done.outcome != DecodeOutcome::Stopped && !Superseded(workers, report, drop))
        Refuse(report, widePath, CodePageFromUtf8(DecodeRefusalText(Utf8FromWide(NameOf(widePath)), kind, done), CP_ACP));
    return false;
}

void LoadWave(WorkerState& workers, WindowReport& report, const std::wstring& widePath, std::uint64_t drop, const std::string& dropNotice) {
    const std::string path = ShownPath(widePath);
    if (Superseded(workers, report, drop)) return;
    report.Status("WAVファイルを取得中...");

    // Existing files only: a dropped path that has vanished must not be created.
    FileHandle file(OpenForReading(widePath));
    if (!file.ok()) {
        Refuse(report, widePath, std::string(kCannotOpenText) + "\r\n" + path);
        return;
    }
    // A compressed recording is decoded into a temporary WAV file first,
    // which is then read exactly as a dropped WAV file.
    TempFile decoded;
    const char* kind = DecodableKindOf(file.get());
    bool decodedDamaged = false;
    if (kind && !DecodeIntoTemporary(workers, report, widePath, kind, drop, decoded, &decodedDamaged)) return;
    const HANDLE source = kind ? reinterpret_cast<HANDLE>(decoded.handle()) : file.get();
    WaveHeaderBytes header{};
    WaveLayout layout;
    if (!ReadLayout(report, source, widePath, &header, &layout) || Superseded(workers, report, drop)) return;
    report.Status("WAVファイルの読み込み中...");

    // The previous samples are let go before the new block is taken so two
    // long recordings are never held at once; workers still using them keep
    // their own reference.
    SetCurrentWave(workers, nullptr);
    // Only the bytes the file holds, whatever the data chunk claims.
    LARGE_INTEGER fileSize{};
    const bool sized = GetFileSizeEx(source, &fileSize) != 0;
    const bool fitted = sized && FitDataToFile(&layout, static_cast<std::uint64_t>(fileSize.QuadPart));
    auto wave = std::make_shared<WaveData>();
    wave->recording = ++workers.recordings;
    wave->layout = layout;
    wave->sourcePath = Utf8FromWide(widePath);
    const std::string notice = LoadNoticeText(layout, fitted);
    if (!notice.empty()) wave->notice = CodePageFromUtf8(notice, CP_ACP);
    if (kind && decodedDamaged) wave->notice = CodePageFromUtf8(DecodeNoticeText(), CP_ACP);
    // Shown once the graph is up, where the load's own words would hide it.
    if (!dropNotice.empty()) wave->notice = wave->notice.empty() ? dropNotice : dropNotice + " " + wave->notice;
    if (kind && std::strcmp(kind, "MP3") == 0) {
        auto frames = std::make_unique<MappedFile>();
        std::string reason;
        if (frames->Open(Utf8FromWide(widePath), &reason) == MappedFile::Mapped) wave->mp3 = KeepMp3Frames(std::move(frames), layout);
        // The 「MP3 のまま保存」 box stays grey: say why.
        const std::string asWav = CodePageFromUtf8(Mp3PiecesAsWavText(), CP_ACP);
        if (wave->mp3 && !CanSaveMp3Pieces(wave->mp3.get())) wave->notice += (wave->notice.empty() ? "" : " ") + asWav;
    }
    const bool whole = sized && layout.dataOffset + layout.dataSize <= static_cast<std::uint64_t>(fileSize.QuadPart);
    const ReadMeasureResult loaded = MapOrReadSamples(report, *wave, source, whole, path);
    if (loaded.outcome == ReadOutcome::ReadError) {
        report.NoFile();
        Refuse(report, widePath, std::string(kCannotReadText) + "\r\n" + path);
        return;
    }
    if (loaded.outcome == ReadOutcome::Stopped) return;  // the window has closed (or no memory, told)
    report.Status("WAVファイルの解析中...");
    report.Numbers(path, layout, loaded.stats);
    wave->stats = loaded.stats;
    report.NewRecording();
    WavePtr shared = wave;
    SetCurrentWave(workers, shared);
    report.Loaded(shared);
    // A decoded copy stays mapped: it is the program's own file, and a long
    // one would cost its whole size in private memory.
    if (!kind && wave->Mapped() && wave->dataSize() < kLargestCopied) MoveIntoPrivateMemory(workers, report, shared, drop, path);
}

}  // namespace

void StartWaveLoad(WorkerState& workers, HDROP drop, WindowReport& report) {
    // Wide, and the length asked first, so the name is never cut or mapped
    // to another file's name.
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring path;
    if (length > 0) {
        std::vector<wchar_t> buffer(length + 1, L'\0');
        DragQueryFileW(drop, 0, buffer.data(), length + 1);
        path.assign(buffer.data());
    }
    DragFinish(drop);
    // One recording is shown at a time: the first file, and the user told
    // that the others were left.
    std::string notice;
    if (count > 1) notice = FormatNumber(count) + " 個のファイルがドロップされました。最初のファイルだけを読み込みます";
    StartWaveLoad(workers, path, report, notice);
}

void StartWaveLoad(WorkerState& workers, const std::wstring& path, WindowReport& report, const std::string& notice) {
    if (path.empty()) return;
    LoadTurns& loads = workers.loads;
    const std::uint64_t id = ++loads.latestDrop;
    ++loads.inFlight;
    std::thread([&workers, &loads, path, id, notice, &report] {
        {
            std::unique_lock<std::mutex> lock(loads.mutex);
            loads.changed.wait(lock, [&loads, id] { return loads.lastServed == id - 1; });
        }
        LoadWave(workers, report, path, id, notice);
        {
            std::lock_guard<std::mutex> lock(loads.mutex);
            loads.lastServed = id;
        }
        loads.changed.notify_all();
        --loads.inFlight;
    }).detach();
}

int LoadsInFlight(const WorkerState& workers) { return workers.loads.inFlight.load(); }

}  // namespace tw
