// The main window: its 36 controls and those added since, command routing,
// drops and painting, and how it shows what the workers report.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

#include "shell/app/child_control_win.h"
#include "shell/app/main_window_ids.h"
#include "shell/app/shell_win.h"
#include "core/cut/mp3_save.h"
#include "core/cut/pause_cut.h"
#include "core/support/number_text.h"
#include "core/view/time_axis.h"
#include "platform/win/text_win.h"
#include "shell/graph/view_win.h"
#include "shell/workers/play_win.h"
#include "shell/workers/wave_win.h"

namespace tw {

namespace {

const ChildControl kControls[] = {
    {kIdGraph, "STATIC", "", 3, 0, 570, 165, SS_BLACKRECT | SS_NOTIFY, 0},
    {kIdCuttingMode, "BUTTON", "カッティングモード", 410, 218, 155, 35, BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_CENTER | BS_VCENTER, WS_EX_STATICEDGE},
    {kIdFileGroup, "BUTTON", "WAVファイル情報", 5, 349, 565, 122, BS_GROUPBOX, 0},
    {kIdPath, "EDIT", "", 206, 370, 355, 18, ES_READONLY | ES_AUTOHSCROLL, WS_EX_STATICEDGE},
    {kIdChannelsLabel, "STATIC", "チャンネル数：", 15, 399, 77, 12, SS_LEFT, 0},
    {kIdChannels, "STATIC", "", 91, 399, 57, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdSampleRateLabel, "STATIC", "サンプリングレート：", 163, 399, 104, 12, SS_LEFT, 0},
    {kIdSampleRate, "STATIC", "", 268, 399, 91, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdBitsLabel, "STATIC", "サンプリングビット：", 377, 399, 104, 12, SS_LEFT, 0},
    {kIdBits, "STATIC", "", 475, 399, 65, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdPeakLabel, "STATIC", "ピーク（最大音量）：", 15, 424, 103, 12, SS_LEFT, 0},
    {kIdPeak, "STATIC", "", 117, 424, 50, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdPathLabel, "STATIC", "ドラッグアンドドロップされたファイル：", 15, 373, 189, 12, SS_LEFT, 0},
    {kIdNadirLabel, "STATIC", "ネイダー（最小音量）：", 175, 424, 115, 12, SS_LEFT, 0},
    {kIdNadir, "STATIC", "", 289, 424, 50, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdThresholdLabel, "STATIC", "無音とみなす音量のしきい値：", 9, 298, 157, 12, SS_LEFT, 0},
    {kIdThreshold, "EDIT", "", 166, 294, 70, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {kIdAutoCutGroup, "BUTTON", "オートカッティング", 5, 281, 240, 65, BS_GROUPBOX, 0},
    {kIdOutputGroup, "BUTTON", "出力設定", 249, 281, 320, 65, BS_GROUPBOX, 0},
    {kIdPrefix, "EDIT", "", 347, 293, 135, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {kIdDigitsLabel, "STATIC", "桁の連番で、出力する", 294, 322, 118, 12, SS_LEFT, 0},
    {kIdDigits, "EDIT", "3", 258, 318, 30, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {kIdPrefixLabel, "STATIC", "ファイルの先頭：", 257, 299, 88, 12, SS_LEFT, 0},
    {kIdSmallestPositiveLabel, "STATIC", "非負最小：", 349, 424, 58, 12, SS_LEFT, 0},
    {kIdSmallestPositive, "STATIC", "", 406, 424, 50, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdProgress, "msctls_progress32", "", 197, 259, 370, 21, PBS_SMOOTH, WS_EX_STATICEDGE},
    {kIdStatus, "STATIC", "", 5, 259, 190, 21, SS_CENTER, WS_EX_STATICEDGE},
    {kIdAverageLabel, "STATIC", "平均値：", 15, 447, 45, 12, SS_LEFT, 0},
    {kIdAverage, "STATIC", "", 61, 447, 170, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdAutoCut, "BUTTON", "オートカッティングを実行", 51, 317, 146, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {kIdSave, "BUTTON", "カットを保存", 253, 218, 155, 35, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {kIdScrollBar, "SCROLLBAR", "", 4, 168, 565, 17, SBS_HORZ, 0},
    {kIdZoomIn, "BUTTON", "+", 538, 189, 25, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {kIdZoomOut, "BUTTON", "-", 509, 189, 25, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {kIdRedraw, "BUTTON", "グラフの再描画", 382, 189, 122, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {kIdRedrawLabel, "STATIC", "グラフが消えたら押してください→", 204, 195, 174, 12, SS_LEFT, 0},
};

// Pause cutting's own controls, in the free space just above the auto-cutting
// group so both are seen together; the table above stays as it always was.
const ChildControl kPauseControls[] = {
    {kIdPauseMode, "BUTTON", "間で切る", 9, 226, 84, 20, BS_AUTOCHECKBOX, 0},
    {kIdPauseLabel, "STATIC", "最短の間 (ms)：", 98, 230, 84, 12, SS_LEFT, 0},
    {kIdPauseLength, "EDIT", "400", 182, 226, 54, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
};

// The piece rules in the corner left of the zoom row, two rows of two, and
// the chosen names list beside the digits; all clear of the 36 and of pause
// cutting's.
const ChildControl kRuleControls[] = {
    {kIdLongestLabel, "STATIC", "最長 (秒)", 9, 190, 54, 12, SS_LEFT, 0},
    {kIdLongest, "EDIT", "", 63, 188, 38, 17, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {kIdShortestLabel, "STATIC", "最短 (秒)", 107, 190, 54, 12, SS_LEFT, 0},
    {kIdShortest, "EDIT", "", 161, 188, 38, 17, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {kIdPieceCountLabel, "STATIC", "ピース数", 9, 209, 54, 12, SS_LEFT, 0},
    {kIdPieceCount, "EDIT", "", 63, 207, 38, 17, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {kIdMarginLabel, "STATIC", "余白 (ms)", 107, 209, 54, 12, SS_LEFT, 0},
    {kIdMargin, "EDIT", "", 161, 207, 38, 17, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    // In the output group's caption line, clear of the saving check boxes.
    {kIdNamesFile, "STATIC", "", 312, 281, 254, 12, SS_LEFT | SS_ENDELLIPSIS, 0},
    // The recording's length, beside the average.
    {kIdLengthLabel, "STATIC", "長さ：", 245, 447, 35, 12, SS_LEFT, 0},
    {kIdLength, "STATIC", "", 280, 447, 110, 14, SS_LEFT, WS_EX_STATICEDGE},
    // Under the graph and as wide; placed by the graph.
    {kIdTimeAxis, "STATIC", "", 3, 166, 570, kTimeAxisHeight, SS_OWNERDRAW, 0},
};

// How a save writes: beside the name box and the digits.
const ChildControl kSaveControls[] = {
    {kIdReplace, "BUTTON", "上書きする", 486, 295, 80, 17, BS_AUTOCHECKBOX, 0},
    {kIdFolderPerRecording, "BUTTON", "録音ごとのフォルダに保存", 414, 320, 153, 17, BS_AUTOCHECKBOX, 0},
    // Among the file's numbers, after its length: only an MP3 recording has it.
    {kIdMp3Pieces, "BUTTON", "MP3 のまま保存", 404, 445, 150, 17, BS_AUTOCHECKBOX | WS_DISABLED, 0},
};

// The planned pieces below everything else, with what is said of them and
// the time and value under the pointer above them.
const ChildControl kPieceListControls[] = {
    {kIdPieceListLabel, "STATIC", "", 5, kPieceListTop - kBelowGraphShift, 380, 14, SS_LEFT | SS_ENDELLIPSIS, 0},
    {kIdPointer, "STATIC", "", 390, kPieceListTop - kBelowGraphShift, 178, 14, SS_RIGHT, 0},
    {kIdPieceList, WC_LISTVIEWA, "", 5, kPieceListTop + 16 - kBelowGraphShift, 565, kPieceListHeight,
     LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | WS_BORDER | WS_TABSTOP, 0},
};

bool Checked(HWND window, int id) { return SendDlgItemMessageA(window, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool Blank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

// In the words tarnwick-split uses for the same.
void NothingFoundText(MainWindow& window, double threshold) {
    window.Status("しきい値 " + FormatNumber(threshold) + " ではカットする場所が見つかりませんでした");
}

std::string CutsPlacedText(std::size_t placed) { return "カット " + FormatNumber(static_cast<double>(placed)) + " 個"; }

}  // namespace

MainWindow::MainWindow(WorkerState& workers, GraphState& graph)
    : quietThreshold(std::nan("")), workers(workers), graph(graph) {}

namespace {

// The client area the tables were laid out in: what the fixed-frame window
// of kMainWidth x kMainHeight had inside, with room for the time axis.
SIZE LayoutClient() {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, TRUE, MainWindow::kExStyle);
    return {kMainWidth - (frame.right - frame.left),
            kMainHeight - (frame.bottom - frame.top) + kBelowGraphShift + kPieceStripHeight};
}

}  // namespace

SIZE MainWindow::OpeningSize() {
    const SIZE client = LayoutClient();
    RECT outer{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&outer, kStyle, TRUE, kExStyle);
    return {outer.right - outer.left, outer.bottom - outer.top};
}

// Taken once the controls are made; every control below the graph moves
// down under the axis.
void MainWindow::RecordLayout() {
    layoutClient_ = LayoutClient();
    for (HWND c = GetWindow(handle, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(c);
        if (id == kIdGraph || id == kIdTimeAxis) continue;
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, handle, reinterpret_cast<POINT*>(&r), 2);
        OffsetRect(&r, 0, kBelowGraphShift);
        layout_.push_back({c, r});
    }
}

// The graph takes what the window gains; everything else keeps its size and
// its place relative to the bottom (the scroll bar grows with the graph).
void MainWindow::OnSize(int width, int height) {
    if (layout_.empty() || width <= 0 || height <= 0) return;  // minimised, or not made yet
    const int dw = std::max(0, width - static_cast<int>(layoutClient_.cx));
    const int dh = std::max(0, height - static_cast<int>(layoutClient_.cy));
    // The piece list takes a third of the height gained, the graph the rest.
    const int listGrows = dh / 3, graphGrows = dh - listGrows;
    HDWP moves = BeginDeferWindowPos(static_cast<int>(layout_.size()));
    for (const auto& [control, r] : layout_) {
        const int id = GetDlgCtrlID(control);
        const int grow = id == kIdScrollBar || id == kIdPieceList ? dw : 0;
        const int taller = id == kIdPieceList ? listGrows : 0;
        const int right = id == kIdPointer ? dw : 0;  // kept at the right edge
        if (moves)
            moves = DeferWindowPos(moves, control, nullptr, r.left + right, r.top + graphGrows, r.right - r.left + grow,
                                   r.bottom - r.top + taller, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves) EndDeferWindowPos(moves);
    FitGraphToWindow(graph, kGraphStartWidth + dw, kGraphHeight + graphGrows);
    InvalidateRect(handle, nullptr, TRUE);
}

void MainWindow::OnMinMaxInfo(MINMAXINFO* info) {
    const SIZE smallest = OpeningSize();
    info->ptMinTrackSize = {smallest.cx, smallest.cy};
}

MainWindow* MainWindow::From(HWND window) {
    return reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

std::string MainWindow::Text(int id) const {
    int length = GetWindowTextLengthA(GetDlgItem(handle, id));
    if (length < 0) length = 0;
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    GetDlgItemTextA(handle, id, buffer.data(), length + 1);
    return std::string(buffer.data());
}

void MainWindow::SetText(int id, const std::string& text) const { SetDlgItemTextA(handle, id, text.c_str()); }

bool MainWindow::OnOwnThread() const { return GetWindowThreadProcessId(handle, nullptr) == GetCurrentThreadId(); }

void MainWindow::OnWindowThread(std::function<void()> task) {
    if (OnOwnThread()) {
        task();
        return;
    }
    if (Closing()) return;
    {
        std::lock_guard<std::mutex> lock(tasksMutex_);
        tasks_.push_back(std::move(task));
    }
    PostMessageA(handle, kMsgRunTasks, 0, 0);
}

// One at a time, taken under the lock and run outside it: a task may open a
// message box, whose loop runs the tasks queued behind it meanwhile.
void MainWindow::RunTasks() {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> lock(tasksMutex_);
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        if (!Closing()) task();
    }
}

void MainWindow::Status(const std::string& text) {
    OnWindowThread([this, text] {
        // A word kept for the end of the load, past its stages ("...").
        const bool stage = text.size() >= 3 && text.compare(text.size() - 3, 3, "...") == 0;
        if (stage || letGo_.empty()) {
            SetText(kIdStatus, text);
            return;
        }
        SetText(kIdStatus, text.empty() ? letGo_ : text + " " + letGo_);
        letGo_.clear();
    });
}

void MainWindow::Numbers(const std::string& path, const WaveLayout& layout, const WaveStats& stats) {
    OnWindowThread([this, path, layout, stats] { ShowNumbers(path, layout, stats); });
}

void MainWindow::ShowNumbers(const std::string& path, const WaveLayout& layout, const WaveStats& stats) {
    SetText(kIdPath, path);
    // From the fmt chunk, wherever it is (at 20 in a canonical file).
    SetText(kIdChannels, FormatNumber(layout.channels));
    SetText(kIdSampleRate, FormatNumber(layout.sampleRate));
    SetText(kIdBits, FormatNumber(layout.bitsPerSample));
    SetText(kIdPeak, FormatNumber(stats.peak));
    SetText(kIdNadir, FormatNumber(stats.nadir));
    SetText(kIdSmallestPositive, FormatNumber(stats.smallestPositive));
    SetText(kIdAverage, FormatNumber(stats.average));
    const double perSecond = static_cast<double>(layout.channels) * layout.sampleRate;
    SetText(kIdLength, perSecond > 0 ? AnsiFromUtf8(TimeText(static_cast<double>(layout.sampleCount) / perSecond)) : "");
}

void MainWindow::NoFile() {
    OnWindowThread([this] {
        static const int kShown[] = {kIdPath, kIdChannels, kIdSampleRate, kIdBits,
                                     kIdPeak, kIdNadir, kIdSmallestPositive, kIdAverage, kIdLength};
        for (int id : kShown) SetText(id, "");
        SetText(kIdStatus, "");
        ClearGraphView(graph);
    });
}

void MainWindow::ProgressBegin() {
    OnWindowThread([this] { SendDlgItemMessageA(handle, kIdProgress, PBM_SETRANGE, 0, MAKELPARAM(0, 100)); });
}

// A drawing thread does not wait for the window to take each position (under
// Wine every such wait is a server round trip and a switch to the window's
// thread); the queue keeps them in order, before the status text that
// follows them.
void MainWindow::Progress(int percent) {
    OnWindowThread([this, percent] {
        SendDlgItemMessageA(handle, kIdProgress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    });
}

void MainWindow::ProgressEnd() {
    OnWindowThread([this] { SendDlgItemMessageA(handle, kIdProgress, PBM_SETPOS, 0, 0); });
}

int MainWindow::Message(const std::string& text, const std::string& caption, unsigned style) {
    if (OnOwnThread()) return MessageBoxA(handle, text.c_str(), caption.c_str(), style);
    OnWindowThread([this, text, caption, style] { MessageBoxA(handle, text.c_str(), caption.c_str(), style); });
    return 0;
}

void MainWindow::Loaded(const WavePtr& wave) {
    StartGraphThread(graph, wave);
    const bool mp3 = CanSaveMp3Pieces(wave->mp3.get());
    OnWindowThread([this, mp3] {
        EnableWindow(GetDlgItem(handle, kIdMp3Pieces), mp3);
        Replan();  // one piece, until it is cut
    });
    JudgeQuietBehind(wave);
}

// The piece rules judge the whole recording for its pauses (about half a
// second for 1 GiB): done once behind the load, after the graph and the
// private copy (so the file is let go as soon as before), so the first rule
// typed shows its pieces at once. A typed threshold judges again.
void MainWindow::JudgeQuietBehind(const WavePtr& loaded) {
    std::thread([this, recording = loaded->recording] {
        while ((Drawing() || LoadsInFlight(workers) > 0) && !Closing()) Sleep(5);
        const WavePtr wave = CurrentWave(workers);
        if (Closing() || !wave || wave->recording != recording) return;
        auto map = std::make_shared<const QuietMap>(MapQuiet(PauseAudioOf(wave->bytes, wave->layout), std::nan("")));
        OnWindowThread([this, map, recording] {
            const WavePtr now = CurrentWave(workers);
            if (!now || now->recording != recording || (quiet && quietRecording == recording)) return;
            if (!std::isnan(quietThreshold)) return;  // a typed pause run's threshold is judged at
            KeepQuiet(map, recording, std::nan(""));
        });
    }).detach();
}

void MainWindow::KeepQuiet(std::shared_ptr<const QuietMap> map, std::uint64_t recording, double at) {
    quiet = std::move(map);
    quietRecording = recording;
    quietAt = at;
}

// A save that ends after another file was loaded saved that file's cuts, not
// these.
void MainWindow::Saved(std::uint64_t recording, std::uint64_t cutRevision) {
    OnWindowThread([this, recording, cutRevision] {
        const WavePtr wave = CurrentWave(workers);
        if (wave && wave->recording == recording) savedRevision_ = cutRevision;
    });
}

bool MainWindow::CutsUnsaved() const {
    return CutEdits(graph).List().Count() > 0 && CutEdits(graph).Revision() != savedRevision_;
}

// Unsaved cuts: the question asked, true unless the answer is No. A second
// request while it is open (a key, a posted command, a drop) waits for the
// answer to the first.
bool MainWindow::MayLoseCuts(const char* question) {
    if (askingToClose_) return false;
    if (!CutsUnsaved()) return true;
    askingToClose_ = true;
    const int answer = Message(question, "確認", MB_YESNO | MB_ICONQUESTION);
    askingToClose_ = false;
    return answer != IDNO;
}

bool MainWindow::MayClose() { return MayLoseCuts("カットが保存されていません。終了しますか?"); }

bool MainWindow::MayOpenAnother() { return MayLoseCuts("カットが保存されていません。別のファイルを開きますか?"); }

void MainWindow::OnClose() {
    if (MayClose()) DestroyWindow(handle);
}

void MainWindow::OpenFile(const std::wstring& path, const std::string& notice) {
    StopPlayback(workers.play);  // the samples being heard are about to go
    StartWaveLoad(workers, path, *this, notice);
}

// The load worker waits while the window's thread does this, so no cut can be
// made in between (no recording is held) and the new graph draws none of the
// old ones.
void MainWindow::NewRecording() { SendMessageA(handle, kMsgNewRecording, 0, 0); }

void MainWindow::OnNewRecording() {
    CutEdits(graph).Reset();
    savedRevision_ = CutEdits(graph).Revision();  // nothing to lose yet
    // The next run estimates again for this recording; a typed value stays.
    if (!estimatedThreshold.empty() && Text(kIdThreshold) == estimatedThreshold) SetText(kIdThreshold, "");
    estimatedThreshold.clear();
    quietThreshold = std::nan("");
    labels.clear();  // their cuts went with the old recording
    quiet.reset();
    leftOut_.clear();
    runThreshold_.clear();
    runCuts_.clear();
    planProblem_.clear();
    Replan();  // no recording is held now: the list empties
    SetText(kIdPointer, "");
    // A names list was chosen for the recording before: this one may have
    // other pieces altogether.
    letGo_.clear();
    if (!names.empty()) {
        const std::string file = namesFile;
        DropNames();
        letGo_ = "名前の一覧 " + file + " は前のファイルのものなので、使うのをやめました";
    }
    ShowWholeRecording(graph);  // the view of the recording before means nothing here
    EnableWindow(GetDlgItem(handle, kIdMp3Pieces), FALSE);  // until the new one is known to be MP3
}

bool MainWindow::Drawing() { return GraphsInFlight(graph) > 0; }

bool MainWindow::Closing() { return closing.load(); }

void MainWindow::OnCreate() {
    SetMenu(handle, menuBar);
    for (const ChildControl& c : kControls) CreateChildControl(handle, c, font);
    for (const ChildControl& c : kPauseControls) CreateChildControl(handle, c, font);
    for (const ChildControl& c : kRuleControls) CreateChildControl(handle, c, font);
    for (const ChildControl& c : kSaveControls) CreateChildControl(handle, c, font);
    SendDlgItemMessageA(handle, kIdMp3Pieces, BM_SETCHECK, BST_CHECKED, 0);  // no re-encoding unless asked
    for (const ChildControl& c : kPieceListControls) CreateChildControl(handle, c, font);
    SetUpPieceList(GetDlgItem(handle, kIdPieceList));
    AttachGraph(graph, workers, GetDlgItem(handle, kIdGraph), GetDlgItem(handle, kIdScrollBar), *this);
    graph.axis = GetDlgItem(handle, kIdTimeAxis);
    graph.cutting = [this] { return Checked(handle, kIdCuttingMode); };
    graph.cutsChanged = [this] { Replan(); };
    graph.pointerText = GetDlgItem(handle, kIdPointer);
    MakeTabStops(handle);
    RecordLayout();
    RECT client{};
    GetClientRect(handle, &client);
    OnSize(client.right, client.bottom);
    CenterWindowOnScreen(handle, 0, 0);
    std::string title = std::string(kTitlePrefix) + kVersionText;
    SetWindowTextA(handle, title.c_str());
    CutEdits(graph).Reset();
    savedRevision_ = CutEdits(graph).Revision();
    InitScrollState(graph);
}

void MainWindow::OnAutoCut() {
    const std::string threshold = Text(kIdThreshold);
    // Louder than any sample: most likely a lost minus sign (300dB for -30dB).
    if (ReadThresholdText(threshold).kind == ThresholdKind::AboveFullScale) {
        Message("しきい値のデシベルは 0dB 以下で入力してください（例 -30dB）\r\n" + threshold, "Error",
                MB_ICONWARNING | MB_OK);
        return;
    }
    if (!Checked(handle, kIdPauseMode)) {
        const std::size_t placed = RunAutoCutting(graph, threshold);
        if (!CurrentWave(workers)) return;
        if (placed == 0) {
            NothingFoundText(*this, ReadThresholdText(threshold).value);
        } else {
            ShowRun("", CutsPlacedText(placed));
        }
        return;
    }
    // Anything that is not a positive length is the default, written back
    // once a run uses it so the user sees what is used.
    const double typed = ParseNumber(Text(kIdPauseLength));
    const bool usable = typed >= 1 && typed <= 3600000;
    if (RunPauseCutting(graph, threshold, usable ? typed : kDefaultPauseMs) && !usable)
        SetText(kIdPauseLength, FormatNumber(kDefaultPauseMs));
}

void MainWindow::OnPauseCutsReady(LPARAM result) {
    PauseOutcome run;
    if (!FinishPauseCutting(graph, result, &run)) return;
    const double threshold = run.threshold;
    const bool estimated = run.estimated;
    const std::size_t found = run.cuts.size();
    // The rules judge as this run did, before its cuts re-plan the pieces.
    quietThreshold = estimated ? std::nan("") : threshold;
    KeepQuiet(run.quiet, CurrentWave(workers)->recording, quietThreshold);
    if (!run.cuts.empty()) AppendCutsWithLines(graph, run.cuts);
    const std::string used = FormatNumber(threshold);
    if (!estimated) {
        if (found == 0) NothingFoundText(*this, threshold); else ShowRun("しきい値: " + used, CutsPlacedText(found));
        return;
    }
    // An empty threshold box shows the estimate the cuts were found at.
    if (Blank(Text(kIdThreshold))) {
        SetText(kIdThreshold, used);
        estimatedThreshold = used;
    }
    if (found == 0) NothingFoundText(*this, threshold); else ShowRun("推定しきい値: " + used, CutsPlacedText(found));
}

void MainWindow::ShowRun(const std::string& threshold, const std::string& cuts) {
    runThreshold_ = threshold;
    runCuts_ = cuts;
    SayPieceCount();
}

void MainWindow::OnSave() {
    SaveJob job;
    job.wave = CurrentWave(workers);
    job.cutRevision = CutEdits(graph).Revision();
    // The list itself is left sorted, as a save always leaves it.
    if (job.wave) Cuts(graph).SortAndSnapshot();
    if (!SaveRequestNow(job.wave.get(), &job.request)) return;
    job.replace = Checked(handle, kIdReplace);
    job.request.leftOut = leftOut_;
    if (job.wave && shownPlan_ && shownPlan_->recording == job.wave->recording && !shownPlan_->leftOut.empty() &&
        std::all_of(shownPlan_->leftOut.begin(), shownPlan_->leftOut.end(), [](bool out) { return out; })) {
        Message("保存するピースがありません (すべて保存しないことにしています)", "Error", MB_ICONWARNING | MB_OK);
        return;
    }
    StartSaveCuts(workers.saves, std::move(job), *this);
}

void MainWindow::OnPlayPiece() {
    WavePtr wave = CurrentWave(workers);
    SaveRequest request;
    if (!wave || !SaveRequestWithQuiet(*wave, &request)) return;
    request.names.clear();  // only where the pieces are matters here
    request.labels.clear();
    request.leftOut.clear();
    const SavePlan plan = PlanSave(request, wave->layout, wave->bytes);
    PlayPieceAtMenu(graph, plan.uncut, plan.save.pieces);
}

void MainWindow::OnCommand(int id, int code) {
    if (id == kIdMenuVersion) {
        RunModalWindow(handle, "Version");
        return;
    }
    if (id == kIdMenuGuide) {
        OpenGuide();
        return;
    }
    // The file menu's own commands come from the menu (0) or, as the keys
    // shown beside them, from an accelerator (1).
    if (code == 0 || code == 1) {
        switch (id) {
            case kIdMenuOpen: OnOpen(); return;
            case kIdMenuSaveCuts: OnSave(); return;
            case kIdMenuExit: SendMessageA(handle, WM_CLOSE, 0, 0); return;
            default: break;
        }
    }
    // What the plan is made from: the list and the graph follow as it is typed.
    if (code == EN_CHANGE) {
        static const int kPlanBoxes[] = {kIdLongest, kIdShortest, kIdPieceCount, kIdMargin, kIdPrefix, kIdDigits};
        if (std::find(std::begin(kPlanBoxes), std::end(kPlanBoxes), id) != std::end(kPlanBoxes)) Replan();
        return;
    }
    if (code != 0) return;
    switch (id) {
        case kIdMenuPlayListPiece: PlayListPiece(); break;
        case kIdCuttingMode:
            // Held down while on: the push-like box shows its state as a button does.
            SendDlgItemMessageA(handle, kIdCuttingMode, BM_SETSTATE, Checked(handle, kIdCuttingMode), 0);
            break;
        case kIdMenuChooseNames:
        case kIdMenuDropNames:
        case kIdMenuWriteLabels:
        case kIdMenuReadLabels: OnFileMenu(id); break;
        case kIdGraph: HandleGraphClick(graph, Checked(handle, kIdCuttingMode)); break;
        case kIdAutoCut: OnAutoCut(); break;
        case kIdMp3Pieces: Replan(); break;  // the names and the list say the kind
        case kIdSave: OnSave(); break;
        case kIdZoomIn: ZoomIn(graph); break;
        case kIdZoomOut: ZoomOut(graph); break;
        case kIdRedraw: PresentGraph(graph); break;
        case kIdMenuPlayPiece: OnPlayPiece(); break;
        case kIdMenuPlayFromHere: PlayFromMenu(graph); break;
        case kIdMenuStop: StopPlayback(workers.play); break;
        case kIdMenuDeleteCut: DeleteCutAtMenu(graph); break;
        case kIdMenuDeleteAllCuts: DeleteAllCuts(graph); break;
        case kIdMenuUndo: UndoCutChange(graph); break;
        default: break;
    }
}

void MainWindow::OnContextMenu(HWND from, LPARAM point) {
    // No menu over a window a modal one has disabled (a click posted to it
    // still comes): it would run its loop inside the modal window's.
    if (!IsWindowEnabled(handle)) return;
    if (from == GetDlgItem(handle, kIdGraph)) {
        ShowGraphMenu(graph, point);
    } else {
        DefWindowProcA(handle, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(from), point);
    }
}

void MainWindow::OnDrop(HDROP drop) {
    if (!MayOpenAnother()) {  // No keeps everything as it was
        DragFinish(drop);
        return;
    }
    StopPlayback(workers.play);  // the samples being heard are about to go
    StartWaveLoad(workers, drop, *this);
}

void MainWindow::OnDestroy() {
    StopPlayback(workers.play);
    ReleaseShellResources();
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: OnCreate(); return 0;
        case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_HSCROLL:
            HandleGraphScroll(graph, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_DROPFILES: OnDrop(reinterpret_cast<HDROP>(wParam)); return 0;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) OnSize(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_GETMINMAXINFO: OnMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
        case WM_TIMER:
            if (wParam == kGraphRedrawTimer) RedrawAfterResize(graph);
            return 0;
        case WM_DRAWITEM:
            if (wParam == kIdTimeAxis) PaintTimeAxis(graph, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CONTEXTMENU: OnContextMenu(reinterpret_cast<HWND>(wParam), lParam); return 0;
        case WM_NOTIFY:
            if (wParam == kIdPieceList) OnPieceListNotify(*reinterpret_cast<const NMHDR*>(lParam));
            return 0;
        case kMsgRunTasks: RunTasks(); return 0;
        case kMsgPauseCutsReady: OnPauseCutsReady(lParam); return 0;
        case kMsgNewRecording: OnNewRecording(); return 0;
        case WM_CLOSE: OnClose(); return 0;
        case WM_DESTROY: OnDestroy(); return 0;
        default: return DefWindowProcA(handle, message, wParam, lParam);
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = reinterpret_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        created->handle = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    MainWindow* self = MainWindow::From(window);
    return self ? self->Handle(message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace tw
