// The main window's file menu and piece rules: opening a recording (also
// from the command line), a names list, label files out and in, and what a
// save would do from the boxes (the same plan as
// tarnwick-split's). Texts shown are in the window's code page, the core's UTF-8.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "shell/app/main_window_ids.h"
#include "shell/app/shell_win.h"
#include "core/cut/piece_names.h"
#include "core/cut/piece_writer.h"
#include "core/cut/save_plan.h"
#include "core/support/file_io.h"
#include "core/wave/format_text.h"
#include "platform/win/text_win.h"
#include "shell/graph/view_win.h"
#include "shell/workers/wave_win.h"

namespace tw {

namespace {

constexpr unsigned kWarn = MB_ICONWARNING | MB_OK;

// A rule box: blank is unset (false with *value untouched); a number in
// (low, high] (or [low, high] when low is allowed) is *value.
enum class BoxValue { Blank, Number, Bad };
BoxValue ReadBox(const std::string& text, double low, bool lowAllowed, double high, bool whole, double* value) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return BoxValue::Blank;
    const std::size_t last = text.find_last_not_of(" \t");
    const std::string t = text.substr(first, last - first + 1);
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || errno != 0 || !std::isfinite(v)) return BoxValue::Bad;
    if (v < low || (v == low && !lowAllowed) || v > high || (whole && v != std::floor(v))) return BoxValue::Bad;
    *value = v;
    return BoxValue::Number;
}

std::string FileNamePart(const std::string& path) {
    // Step with CharNextA: a second byte of CP932 may be a backslash.
    const char* name = path.c_str();
    for (const char* p = path.c_str(); *p; p = CharNextA(p))
        if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
    return name;
}

// The common dialog for a .txt file; "" when the user cancelled.
std::string AskForFile(HWND owner, bool save, const char* title) {
    char path[MAX_PATH] = {0};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = "テキストファイル (*.txt)\0*.txt\0すべてのファイル (*.*)\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = title;
    ofn.lpstrDefExt = "txt";
    ofn.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | (save ? 0 : OFN_FILEMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    return chosen ? std::string(path) : std::string();
}

// The common dialog for a recording, in wide text so any name can be chosen;
// "" when the user cancelled.
std::wstring AskForWave(HWND owner) {
    // Room for a long path: a name the dialog would cut is a file not chosen.
    std::vector<wchar_t> path(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    // Every kind that is read first, so a podcast's MP3 shows without a change of filter.
    ofn.lpstrFilter =
        L"録音ファイル (*.wav;*.mp3;*.m4a;*.flac;*.ogg;*.opus;*.wma ...)\0"
        L"*.wav;*.wave;*.mp3;*.m4a;*.m4b;*.mp4;*.aac;*.flac;*.ogg;*.oga;*.opus;*.wma\0"
        L"WAVファイル (*.wav;*.wave)\0*.wav;*.wave\0すべてのファイル (*.*)\0*.*\0";
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrTitle = L"録音ファイルを開く";
    ofn.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER;
    return GetOpenFileNameW(&ofn) ? std::wstring(path.data()) : std::wstring();
}

// A name given relative to the current folder, made whole now: pieces go
// beside the file whatever the current folder is later.
std::wstring FullPath(const std::wstring& path) {
    const DWORD need = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (need == 0) return path;
    std::wstring full(need, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), need, &full[0], nullptr);
    return got > 0 && got < need ? full.substr(0, got) : path;
}

}  // namespace

// The guide beside the program, opened by whatever the system opens a .txt
// with (a Windows user's own viewer).
void MainWindow::OpenGuide() {
    std::vector<wchar_t> exe(32768, L'\0');
    const DWORD got = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    std::wstring path(exe.data(), got);
    const std::size_t slash = path.find_last_of(L"\\/");
    path = (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + kGuideFileName;
    const std::string shown = AnsiFromUtf8(Utf8FromWide(path));
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Message("使い方のテキストが見つかりません\r\n" + shown, "Error", kWarn);
        return;
    }
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(handle, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32)
        Message("使い方のテキストを開けません\r\n" + shown + "\r\n" + AnsiFromUtf8(SystemErrorText(result == SE_ERR_NOASSOC ? ERROR_NO_ASSOCIATION : GetLastError())), "Error",
                kWarn);
}

void MainWindow::OnOpen() {
    const std::wstring path = AskForWave(handle);
    if (!path.empty() && MayOpenAnother()) OpenFile(path);
}

void MainWindow::OpenCommandLine(const wchar_t* commandLine) {
    // The first argument is the program itself; a line of none is no file.
    if (!commandLine || !*commandLine) return;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(commandLine, &count);
    if (!args) return;
    std::wstring path;
    if (count >= 2) path = args[1];
    LocalFree(args);
    if (path.empty()) return;
    // Several files (a few sent at once): the first, as with a drop.
    std::string notice;
    if (count > 2) notice = std::to_string(count - 1) + " 個のファイルが指定されました。最初のファイルだけを読み込みます";
    OpenFile(FullPath(path), notice);
}

bool MainWindow::SaveRequestNow(const WaveData* wave, SaveRequest* request) {
    std::string problem;
    FillRequest(wave, request, &problem);
    if (problem.empty()) return true;
    Message(problem, "Error", kWarn);
    return false;
}

void MainWindow::FillRequest(const WaveData* wave, SaveRequest* request, std::string* problem) {
    // The name boxes first, at the click, whatever follows.
    const std::string prefixBox = Text(kIdPrefix);
    request->digits = PieceDigits(Text(kIdDigits));
    struct Box {
        int id;
        double low;
        bool lowAllowed;
        double high;
        bool whole;
        const char* problem;
    };
    // The limits of tarnwick-split's --max, --min, --pieces and --margin.
    static const Box kBoxes[] = {
        {kIdLongest, 0, false, 86400, false, "最長 (秒) には 0 より大きい秒数を入力してください"},
        {kIdShortest, 0, false, 86400, false, "最短 (秒) には 0 より大きい秒数を入力してください"},
        {kIdPieceCount, 0, false, 1000000, true, "ピース数には 1 以上の整数を入力してください"},
        {kIdMargin, 0, true, 3600000, false, "余白 (ms) には 0 以上のミリ秒を入力してください"},
    };
    double values[4] = {0, 0, 0, -1};
    problem->clear();
    for (int i = 0; i < 4; ++i) {
        const Box& b = kBoxes[i];
        const std::string text = Text(b.id);
        if (ReadBox(text, b.low, b.lowAllowed, b.high, b.whole, &values[i]) == BoxValue::Bad && problem->empty())
            *problem = std::string(b.problem) + "\r\n" + text;
    }
    request->rules.longestSeconds = values[0];
    request->rules.shortestSeconds = values[1];
    request->rules.pieceCount = static_cast<std::uint32_t>(values[2]);
    request->rules.marginMs = values[3];
    request->quietThreshold = quietThreshold;
    request->names = names;
    if (!wave) return;  // nothing to plan: the save says so
    CutEdits(graph).Split(&request->automatic, &request->user);
    // A label names its piece while its cut is still the user's (not undone).
    request->labels.clear();
    for (const Label& l : labels) {
        const double cut = CutAtSeconds(l.start, wave->layout.sampleRate, wave->layout.channels);
        if (std::binary_search(request->user.begin(), request->user.end(), cut)) request->labels.push_back(l);
    }
    const bool folderPerRecording = SendDlgItemMessageA(handle, kIdFolderPerRecording, BM_GETCHECK, 0, 0) == BST_CHECKED;
    request->prefix = PiecePrefixFor(prefixBox, *wave, folderPerRecording);
    request->makeFolder = folderPerRecording;
    if (SendDlgItemMessageA(handle, kIdMp3Pieces, BM_GETCHECK, 0, 0) == BST_CHECKED) request->mp3 = wave->mp3;
    const bool sameThreshold = std::isnan(quietAt) ? std::isnan(quietThreshold) : quietAt == quietThreshold;
    if (quiet && quietRecording == wave->recording && sameThreshold) request->quiet = quiet;
}

bool MainWindow::SaveRequestWithQuiet(const WaveData& wave, SaveRequest* request) {
    if (!SaveRequestNow(&wave, request)) return false;
    if (!request->quiet && RulesSet(request->rules)) {
        KeepQuiet(std::make_shared<const QuietMap>(MapQuiet(PauseAudioOf(wave.bytes, wave.layout), quietThreshold)),
                  wave.recording, quietThreshold);
        request->quiet = quiet;
    }
    return true;
}

bool MainWindow::ReadTextFile(const std::string& path, std::string* text) {
    MappedFile file;
    std::string reason;
    if (file.Open(Utf8FromAnsi(path), &reason) != MappedFile::Mapped) {
        Message(std::string(kCannotOpenText) + "\r\n" + path + "\r\n" + AnsiFromUtf8(reason), "Error", kWarn);
        return false;
    }
    const std::string bytes =
        file.size() ? std::string(reinterpret_cast<const char*>(file.bytes()), static_cast<std::size_t>(file.size())) : "";
    if (file.Damaged()) {
        Message(std::string(kCannotReadText) + "\r\n" + path, "Error", kWarn);
        return false;
    }
    if (!DecodeText(bytes, text)) {
        Message("UTF-8 でも Shift-JIS でもない文字があります\r\n" + path, "Error", kWarn);
        return false;
    }
    return true;
}

void MainWindow::ChooseNames(const std::string& path) {
    std::string text;
    if (!ReadTextFile(path, &text)) return;
    std::vector<std::string> list = NameListOf(text);
    std::vector<std::size_t> lines;
    for (std::size_t i = 0; i < list.size(); ++i) lines.push_back(i + 1);
    const std::vector<NameLineProblem> problems = CheckNames(list, lines);
    if (!problems.empty()) {
        // The list chosen before stays.
        Message("この名前の一覧は使えません\r\n" + AnsiFromUtf8(NameProblemsText(problems)) + "\r\n" + path, "Error", kWarn);
        return;
    }
    names = std::move(list);
    namesFile = FileNamePart(path);
    SetText(kIdNamesFile, "名前: " + namesFile);
    Status("名前の一覧: " + namesFile + " (" + std::to_string(names.size()) + " 行)");
    CheckMenuItem(fileMenu, kIdMenuChooseNames, MF_BYCOMMAND | MF_CHECKED);
    EnableMenuItem(fileMenu, kIdMenuDropNames, MF_BYCOMMAND | MF_ENABLED);
    Replan();
}

void MainWindow::DropNames() {
    names.clear();
    namesFile.clear();
    SetText(kIdNamesFile, "");
    Status("番号の名前で保存します");
    CheckMenuItem(fileMenu, kIdMenuChooseNames, MF_BYCOMMAND | MF_UNCHECKED);
    EnableMenuItem(fileMenu, kIdMenuDropNames, MF_BYCOMMAND | MF_GRAYED);
    Replan();
}

void MainWindow::WriteLabels(const std::string& path) {
    WavePtr wave = CurrentWave(workers);
    if (!wave) {
        Message("ラベルを書き出すWAVファイルが読み込まれていません", "Error", kWarn);
        return;
    }
    SaveRequest request;
    if (!SaveRequestWithQuiet(*wave, &request)) return;
    const WaveLayout layout = wave->layout;
    const SavePlan plan = PlanSave(request, layout, wave->bytes);
    if (!plan.twice.empty()) {
        Message(AnsiFromUtf8(NamesTwiceText(plan.twice)), "Error", kWarn);
        return;
    }
    const std::string text = SaveLabelsText(plan.save, layout);
    const std::string name = Utf8FromAnsi(path);
    // As a save: an existing file is never written over.
    if (PathExists(name)) {
        Message("同じ名前のファイルが既にあるため、書き出しませんでした\r\n" + path, "Error", kWarn);
        return;
    }
    std::string reason;
    const NewFileOutcome outcome =
        WriteNewFile(name, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), nullptr, 0, &reason);
    if (outcome != NewFileOutcome::Written) {
        Message(std::string(outcome == NewFileOutcome::NotCreated ? kPieceNotCreated : "書き出しに失敗しました") + "\r\n" +
                    path + (reason.empty() ? "" : "\r\n" + AnsiFromUtf8(reason)),
                "Error", kWarn);
        return;
    }
    Status("ラベル " + std::to_string(plan.save.pieces.size()) + " 個を書き出しました");
}

void MainWindow::ReadLabelsFile(const std::string& path) {
    WavePtr wave = CurrentWave(workers);
    if (!wave) {
        Message("ラベルを読み込むWAVファイルが読み込まれていません", "Error", kWarn);
        return;
    }
    std::string text;
    if (!ReadTextFile(path, &text)) return;
    std::vector<Label> read;
    std::size_t bad = 0;
    std::vector<std::size_t> lines;
    if (!ReadLabels(text, &read, &bad, &lines)) {
        Message(std::to_string(bad) + " 行目がラベル (開始秒<TAB>終了秒<TAB>名前) ではないため、何もしませんでした\r\n" + path,
                "Error", kWarn);
        return;
    }
    std::vector<std::string> labelNames;
    for (const Label& l : read) labelNames.push_back(l.name);
    const std::vector<NameLineProblem> problems = CheckNames(labelNames, lines);
    if (!problems.empty()) {
        Message(AnsiFromUtf8(NameProblemsText(problems)) + "\r\n" + path, "Error", kWarn);
        return;
    }
    if (read.empty()) {
        Status("ラベルがありません");
        return;
    }
    AppendUserCuts(graph, LabelCuts(read, wave->layout.sampleRate, wave->layout.channels));  // one undo step
    labels.insert(labels.end(), read.begin(), read.end());
    Replan();  // the labels name their pieces
    Status("ラベル " + std::to_string(read.size()) + " 個を読み込みました");
}

void MainWindow::OnFileMenu(int id) {
    std::string path;
    switch (id) {
        case kIdMenuChooseNames:
            path = AskForFile(handle, false, "名前の一覧を選ぶ");
            if (!path.empty()) ChooseNames(path);
            break;
        case kIdMenuDropNames: DropNames(); break;
        case kIdMenuWriteLabels:
            path = AskForFile(handle, true, "ラベルを書き出す");
            if (!path.empty()) WriteLabels(path);
            break;
        case kIdMenuReadLabels:
            path = AskForFile(handle, false, "ラベルを読み込む");
            if (!path.empty()) ReadLabelsFile(path);
            break;
        default: break;
    }
}

}  // namespace tw
