// Loading a dropped WAV file on a worker thread: header check, data read in
// chunks measured as they arrive, the numbers shown, then the graph drawn.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window_ids.h"
#include "app/shell_win.h"
#include "support/number_text.h"
#include "view/view_win.h"
#include "wave/wave_format.h"
#include "wave/wave_stats.h"
#include "wave/wave_win.h"

namespace tw {

namespace {

// Loads run one after another; a load superseded by a later drop stops at its
// next check and shows nothing, so the last file dropped is the one loaded.
std::mutex g_loadMutex;
std::atomic<std::uint64_t> g_latestDrop{0};
std::atomic<int> g_loadsInFlight{0};

constexpr DWORD kChunkBytes = 1u << 20;  // small enough to measure while still in cache

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return h_; }
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// The A functions stop at MAX_PATH; a longer absolute path is opened through
// the wide \\?\ form so the whole name is used, never a cut one.
HANDLE OpenForReading(const std::string& path) {
    bool absolute = path.size() > 2 && path[1] == ':' && path[2] == '\\';
    if (path.size() < MAX_PATH || !absolute)
        return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (n <= 0) return INVALID_HANDLE_VALUE;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    wide.insert(0, L"\\\\?\\");
    return CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Superseded(std::uint64_t drop) { return drop != g_latestDrop.load() || ShellClosing.load(); }

void Warn(const std::string& text) { ShowMessage(text, "Error", MB_ICONWARNING | MB_OK); }

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

void LoadWave(const std::string& path, std::uint64_t drop) {
    if (Superseded(drop)) return;
    SetControlText(kIdStatus, "WAVファイルを取得中...");

    // Existing files only: a dropped path that has vanished must not be created.
    FileHandle file(OpenForReading(path));
    if (!file.ok()) {
        Warn("ファイルを開けません\r\n" + path);
        return;
    }
    // A file shorter than the header leaves zeros, never a previous file's bytes.
    WaveHeaderBytes header{};
    DWORD got = 0;
    if (!ReadUpTo(file.get(), header.data(), static_cast<DWORD>(header.size()), &got)) {
        Warn("ファイルを読み込めません\r\n" + path);
        return;
    }
    // Fewer than 44 bytes is not a WAV file, whatever its first tags say.
    if (got < header.size() || !HeaderAccepted(header)) {
        Warn("WAVファイルではありません\r\n" + HeaderTagText(header));
        return;
    }
    SetControlText(kIdStatus, "WAVファイルの読み込み中...");

    // The previous samples are let go before the new block is taken so two
    // long recordings are never held at once; workers still using them keep
    // their own reference.
    SetCurrentWave(nullptr);
    const std::uint32_t dataSize = HeaderDataSize(header);
    auto wave = std::make_shared<WaveData>();
    wave->header = header;
    if (!wave->Allocate(dataSize)) {
        Warn("メモリが足りないため、WAVファイルを読み込めません\r\n" + path);
        return;
    }

    WaveStats stats;
    std::uint64_t filled = 0;    // bytes read so far
    std::uint64_t measured = 0;  // samples measured so far
    while (filled < dataSize) {
        DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(kChunkBytes, dataSize - filled));
        DWORD n = 0;
        if (!ReadUpTo(file.get(), wave->bytes + filled, want, &n)) {
            Warn("ファイルを読み込めません\r\n" + path);
            return;
        }
        filled += n;
        std::uint64_t ready = filled / 2;
        AccumulateStats(stats, wave->bytes + 2 * measured, static_cast<std::size_t>(ready - measured));
        measured = ready;
        if (n < want) break;  // end of the file: the rest of the block stays zero
        if (Superseded(drop)) return;
    }
    // A short file's missing tail counts as zero samples.
    const std::uint64_t total = dataSize / 2;
    if (measured < total) AccumulateStats(stats, wave->bytes + 2 * measured, static_cast<std::size_t>(total - measured));
    SetControlText(kIdStatus, "WAVファイルの解析中...");
    FinishStats(stats, dataSize);
    if (Superseded(drop)) return;

    SetControlText(kIdPath, path);
    SetControlText(kIdChannels, FormatNumber(HeaderChannelCount(header)));
    SetControlText(kIdSampleRate, FormatNumber(HeaderSampleRate(header)));
    SetControlText(kIdBits, FormatNumber(HeaderBitsPerSample(header)));
    SetControlText(kIdPeak, FormatNumber(stats.peak));
    SetControlText(kIdNadir, FormatNumber(stats.nadir));
    SetControlText(kIdSmallestPositive, FormatNumber(stats.smallestPositive));
    SetControlText(kIdAverage, FormatNumber(stats.average));
    WavePtr shared = wave;
    SetCurrentWave(shared);
    StartGraphThread(shared);
}

}  // namespace

void StartWaveLoad(HDROP drop) {
    // Ask for the length first so a long path is never cut to a wrong name.
    UINT length = DragQueryFileA(drop, 0, nullptr, 0);
    std::string path;
    if (length > 0) {
        std::vector<char> buffer(length + 1, '\0');
        DragQueryFileA(drop, 0, buffer.data(), length + 1);
        path.assign(buffer.data());
    }
    DragFinish(drop);
    if (path.empty()) return;
    const std::uint64_t id = ++g_latestDrop;
    ++g_loadsInFlight;
    std::thread([path, id] {
        {
            std::lock_guard<std::mutex> lock(g_loadMutex);
            LoadWave(path, id);
        }
        --g_loadsInFlight;
    }).detach();
}

int LoadsInFlight() { return g_loadsInFlight.load(); }

}  // namespace tw
