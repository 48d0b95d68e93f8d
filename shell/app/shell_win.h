// The Win32 shell's top: its windows and their state, start-up and shutdown.
// The workers and the graph below (shell/workers, shell/graph) know the main window only as the report
// it implements here.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/cut/piece_names.h"
#include "core/cut/save_plan.h"
#include "platform/win/handles_win.h"

#include "shell/graph/view_win.h"
#include "shell/workers/worker_state_win.h"
#include "shell/workers/window_report_win.h"

namespace tw {

// Sent by the load worker to the main window: a new recording is about to be
// shown (MainWindow::NewRecording).
constexpr UINT kMsgNewRecording = WM_APP + 2;
// Posted to the main window when a worker has queued a task for its thread.
constexpr UINT kMsgRunTasks = WM_APP + 3;

// The main window's state, found from its handle by its window procedure.
// It shows what the workers report; their reports are queued for its thread,
// so they appear in the order reported.
class MainWindow final : public WindowReport {
public:
    HWND handle = nullptr;
    FontHandle font;
    // The bar owns its menus: destroying it destroys them.
    MenuHandle menuBar;
    HMENU infoMenu = nullptr;
    HMENU fileMenu = nullptr;
    // Set once the window is gone: workers stop before starting new work.
    std::atomic<bool> closing{false};
    // The threshold text the program wrote into the empty box after a pause
    // run ("" when none): while the box still holds it, it is the estimate of
    // the recording shown, not a value the user chose. Window's thread only.
    std::string estimatedThreshold;
    // The quiet map of the piece rules judges at the threshold of the last
    // pause run when one was typed, and estimates it otherwise (NaN).
    double quietThreshold;
    // The names list chosen (UTF-8 names; its file name as shown) and the
    // labels read for the recording shown. Window's thread only.
    std::vector<std::string> names;
    std::string namesFile;
    std::vector<Label> labels;
    // The piece rules' judgement of the recording shown, kept so playing a
    // piece does not judge the whole recording again each time.
    std::shared_ptr<const QuietMap> quiet;
    std::uint64_t quietRecording = 0;
    double quietAt = 0;

    // The recording shown, its loads, playback and saves, and the graph's
    // state: the Shell's, living as long as the window.
    WorkerState& workers;
    GraphState& graph;

    MainWindow(WorkerState& workers, GraphState& graph);

    // The main window's styles; the size it opens at (the smallest it may
    // take): its controls' tables laid out whole, with the time axis.
    static constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;
    static constexpr DWORD kExStyle = WS_EX_ACCEPTFILES;
    static SIZE OpeningSize();

    static MainWindow* From(HWND window);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    // A control's text (the window's thread).
    std::string Text(int id) const;
    void SetText(int id, const std::string& text) const;

    void Status(const std::string& text) override;
    void Numbers(const std::string& path, const WaveLayout& layout, const WaveStats& stats) override;
    void NoFile() override;
    void NewRecording() override;
    void ProgressBegin() override;
    void Progress(int percent) override;
    void ProgressEnd() override;
    int Message(const std::string& text, const std::string& caption, unsigned style) override;
    void Saved(std::uint64_t recording, std::uint64_t cutRevision) override;
    void Loaded(const WavePtr& wave) override;
    void JudgeQuietBehind(const WavePtr& loaded);
    // Keeps a judgement of `recording` made at threshold `at` (NaN: estimated).
    void KeepQuiet(std::shared_ptr<const QuietMap> map, std::uint64_t recording, double at);
    bool Drawing() override;
    bool Closing() override;
    void OnWindowThread(std::function<void()> task) override;

    // The file menu's commands once a dialog has chosen the file (a path in
    // the window's code page); tests call them in the dialog's place.
    void ChooseNames(const std::string& path);
    void DropNames();
    void WriteLabels(const std::string& path);
    void ReadLabelsFile(const std::string& path);
    // Loads a file as a drop does: the open dialog's choice (tests call it in
    // the dialog's place) and the command line's.
    void OpenFile(const std::wstring& path, const std::string& notice = std::string());
    // The files a command line names ("Open with", a drop on the icon, "Send
    // to"), split as Windows splits it; the first is loaded.
    void OpenCommandLine(const wchar_t* commandLine);
    // The user guide beside the program, in the system's viewer (F1).
    void OpenGuide();
    // Cuts made since the last save that wrote every piece (or since the
    // load, when none did); none at all counts as nothing to lose.
    bool CutsUnsaved() const;
    // Whether the window may close: asks first when cuts are unsaved; only a
    // No keeps it open.
    bool MayClose();
    // The same before another recording is opened in place of this one
    // (a drop, the open dialog): only a No keeps what is shown.
    bool MayOpenAnother();
    // With unsaved cuts, `question` asked: true unless the answer is No.
    bool MayLoseCuts(const char* question);
    // The plan of the next save made again (after any change of what it is
    // made from) and shown on the graph and in the piece list; with piece
    // rules on a worker, the window going on meanwhile.
    void Replan();
    int PlansInFlight() const { return plansInFlight_.load(); }
    // What a save would do now, from the boxes and the cut list (no recording:
    // the boxes only); false (after a message) when a rule box holds no usable value.
    bool SaveRequestNow(const WaveData* wave, SaveRequest* request);
    // The same with the quiet map made here when the rules need one.
    bool SaveRequestWithQuiet(const WaveData& wave, SaveRequest* request);

private:
    // The workers' reports waiting for the window's thread.
    std::mutex tasksMutex_;
    std::deque<std::function<void()>> tasks_;
    void RunTasks();
    bool OnOwnThread() const;
    void ShowNumbers(const std::string& path, const WaveLayout& layout, const WaveStats& stats);

    // The plan shown, the pieces the user left out of the save (as cut) and
    // which plan is the newest asked for. Window's thread only.
    struct ShownPlan {
        std::uint64_t recording = 0;
        SavePlan plan;
        std::vector<bool> leftOut;
    };
    std::shared_ptr<const ShownPlan> shownPlan_;
    std::vector<Piece> leftOut_;
    std::uint64_t planAsked_ = 0;
    std::atomic<int> plansInFlight_{0};
    bool fillingList_ = false;
    // What the last run did, kept on the status line: the threshold it
    // used ("" for none said) and how many cuts it placed.
    std::string runThreshold_;
    std::string runCuts_;
    bool replanPending_ = false;
    // A request from the boxes and the cuts; *problem says which box holds
    // no usable value ("" when all do; that rule is then left unset).
    void FillRequest(const WaveData* wave, SaveRequest* request, std::string* problem);
    void InstallPlan(std::uint64_t asked, std::uint64_t recording, SavePlan plan, const std::string& problem);
    void FillPieceList(const WaveData& wave);
    std::string planProblem_;
    std::string letGo_;  // what a new recording let go of, said once it is shown  // a rule box the plan shown could not use
    void SayPieceCount();
    void OnPieceListNotify(const NMHDR& header);
    void PlayListPiece();
    void ShowRun(const std::string& threshold, const std::string& cuts);
    bool FitsStatusLine(const std::string& text) const;
    std::vector<Piece> LeftOutOfShownPlan() const;

    // CutBook::Revision of the cuts last saved whole, or of the load.
    std::uint64_t savedRevision_ = 0;
    bool askingToClose_ = false;

    void OnFileMenu(int id);
    void OnOpen();
    void OnClose();
    void OnPlayPiece();
    bool ReadTextFile(const std::string& path, std::string* text);
    void OnCreate();
    void OnCommand(int id, int code);
    void OnAutoCut();
    void OnSave();
    void OnPauseCutsReady(LPARAM result);
    void OnNewRecording();
    void OnContextMenu(HWND from, LPARAM point);
    void OnDrop(HDROP drop);
    void OnDestroy();
    void RecordLayout();
    void OnSize(int width, int height);
    void OnMinMaxInfo(MINMAXINFO* info);

    // Each control but the graph and its axis, where its table puts it; the
    // client size those places are for. Window's thread only.
    std::vector<std::pair<HWND, RECT>> layout_;
    SIZE layoutClient_{};
};

// The process's windows and what they share: made at start-up, let go when
// the main window goes.
struct Shell {
    // The workers' and the graph's state first: the window's own uses both.
    WorkerState workers;
    GraphState graph;
    MainWindow main;
    HWND advertisement = nullptr;
    HWND version = nullptr;
    FontHandle versionFont;
    FontHandle advertisementFont;
    BrushHandle background;
    int advertisementCountdown = 0;  // seconds until the advertisement's OK is allowed
    HWND endedModal = nullptr;       // the modal window EndModalWindow ended last

    Shell();
};
Shell& TheShell();

// Start-up up to and including the creation of the main window.
void StartUpShell(bool showAdvertisement);
// The thread's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();
// After the loop: lets a piece being written finish so no file is left
// claiming more data than it holds.
void FinishShell();
// The whole program.
int RunTarnwick();
// The main window's keys and wheel, whichever of its controls has the focus;
// true when `msg` was one and has been acted on (then it is not dispatched).
// Every loop that may serve the main window calls it first.
bool HandleShellKey(const MSG& msg);
// The controls Tab moves through.
void MakeTabStops(HWND main);
// The piece list's columns and look, once, when the window is made.
void SetUpPieceList(HWND list);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ReleaseShellResources();
bool CenterWindowOnScreen(HWND window, int dx, int dy);
void CenterWindowOnOwner(HWND reference, HWND window, int dx, int dy);

int RunModalWindow(HWND owner, const char* name);
void EndModalWindow(HWND window, int code);
LRESULT CALLBACK AdvertisementWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK VersionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tw
