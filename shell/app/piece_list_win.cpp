// The plan of the next save, made again after every change of what it is made
// from and shown before anything is written: on the graph (each piece's
// ground, its boundaries, what a margin drops) and in the piece list below,
// where a piece can be left out of the save.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>

#include "core/cut/pause_cut.h"
#include "core/cut/piece_writer.h"
#include "core/support/number_text.h"
#include "core/view/piece_marks.h"
#include "core/view/time_axis.h"
#include "platform/win/text_win.h"
#include "shell/app/main_window_ids.h"
#include "shell/app/shell_win.h"
#include "shell/graph/view_win.h"

namespace tw {

namespace {

bool SamePiece(const Piece& a, const Piece& b) { return a.offset == b.offset && a.length == b.length; }

bool Holds(const std::vector<Piece>& pieces, const Piece& p) {
    return std::any_of(pieces.begin(), pieces.end(), [&](const Piece& q) { return SamePiece(p, q); });
}

std::string SecondsText(const WaveData& wave, std::uint64_t bytes) {
    const double perSecond =
        static_cast<double>(wave.layout.channels) * wave.layout.sampleRate * std::max<std::uint32_t>(1, wave.sampleBytes());
    return AnsiFromUtf8(TimeText(perSecond > 0 ? static_cast<double>(bytes) / perSecond : 0));
}

void SetCell(HWND list, int row, int column, const std::string& text) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool RowChecked(HWND list, int row) {
    const UINT state = static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
}

void SetRowChecked(HWND list, int row, bool checked) {
    LVITEMA item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

// The list's columns, once, when the window is made.
void SetUpPieceList(HWND list) {
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    struct Column {
        const char* title;
        int width;
    };
    static const Column kColumns[] = {{"番号", 58}, {"ファイル名", 190}, {"開始", 90}, {"長さ", 90}, {"余白", 110}};  // 余白: room for 「前後の無音を除く」
    for (int i = 0; i < 5; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(kColumns[i].title);
        column.cx = kColumns[i].width;
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

void MainWindow::Replan() {
    const WavePtr wave = CurrentWave(workers);
    const std::uint64_t asked = ++planAsked_;
    if (!wave) {
        shownPlan_.reset();
        SendDlgItemMessageA(handle, kIdPieceList, LVM_DELETEALLITEMS, 0, 0);
        SetText(kIdPieceListLabel, "");
        return;
    }
    if (plansInFlight_.load() > 0) {  // one worker at a time: the newest request follows it
        replanPending_ = true;
        return;
    }
    SaveRequest request;
    std::string problem;
    FillRequest(wave.get(), &request, &problem);
    if (!RulesSet(request.rules) || request.quiet) {
        InstallPlan(asked, wave->recording, PlanSave(request, wave->layout, wave->bytes), problem);
        return;
    }
    // The rules judge the whole recording first: on a worker, once.
    ++plansInFlight_;
    const double at = quietThreshold;
    std::thread([this, wave, request, asked, problem, at]() mutable {
        auto map = std::make_shared<const QuietMap>(MapQuiet(PauseAudioOf(wave->bytes, wave->layout), at));
        request.quiet = map;
        auto plan = std::make_shared<SavePlan>(PlanSave(request, wave->layout, wave->bytes));
        OnWindowThread([this, wave, map, at, asked, plan, problem] {
            --plansInFlight_;
            KeepQuiet(map, wave->recording, at);
            InstallPlan(asked, wave->recording, std::move(*plan), problem);
            if (replanPending_) {
                replanPending_ = false;
                Replan();
            }
        });
    }).detach();
}

void MainWindow::InstallPlan(std::uint64_t asked, std::uint64_t recording, SavePlan plan, const std::string& problem) {
    const WavePtr wave = CurrentWave(workers);
    if (!wave || wave->recording != recording) return;
    if (asked != planAsked_ && !replanPending_) return;  // a newer plan is on its way
    auto shown = std::make_shared<ShownPlan>();
    shown->recording = recording;
    shown->plan = std::move(plan);
    // A piece stays left out for as long as it is cut where it was.
    std::vector<Piece> still;
    for (const Piece& p : shown->plan.uncut) {
        const bool out = Holds(leftOut_, p);
        shown->leftOut.push_back(out);
        if (out) still.push_back(p);
    }
    leftOut_ = std::move(still);
    auto marks = std::make_shared<PieceMarks>(MarksOfPlan(shown->plan, wave->sampleBytes(), wave->scaleSize() / 2, wave->scaleSize()));
    marks->recording = recording;
    marks->leftOut = shown->leftOut;
    marks->leftOut.resize(marks->starts.size(), false);
    shownPlan_ = shown;
    ShowPieceMarks(graph, marks);
    planProblem_ = problem;
    FillPieceList(*wave);
    SayPieceCount();
}

void MainWindow::FillPieceList(const WaveData& wave) {
    HWND list = GetDlgItem(handle, kIdPieceList);
    const SavePlan& plan = shownPlan_->plan;
    const int rows = static_cast<int>(plan.save.pieces.size());
    fillingList_ = true;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    const int selected = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageA(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows), 0);
    for (int k = 0; k < rows; ++k) {
        const Piece& p = plan.save.pieces[static_cast<std::size_t>(k)];
        const std::string number = std::to_string(k);
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = k;
        item.pszText = const_cast<char*>(number.c_str());
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        const std::string& name = k < static_cast<int>(plan.save.names.size()) ? plan.save.names[static_cast<std::size_t>(k)] : "";
        SetCell(list, k, 1, AnsiFromUtf8(name.substr(FolderPart(name).size())));
        SetCell(list, k, 2, SecondsText(wave, p.offset));
        SetCell(list, k, 3, SecondsText(wave, p.length));
        const bool trimmed = k < static_cast<int>(plan.save.trimmed.size()) && plan.save.trimmed[static_cast<std::size_t>(k)];
        SetCell(list, k, 4, trimmed ? "前後の無音を除く" : "");
        SetRowChecked(list, k, !shownPlan_->leftOut[static_cast<std::size_t>(k)]);
    }
    if (selected >= 0 && selected < rows) {
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    fillingList_ = false;
}

// Above the list, and on the status line after a run: how many pieces, and a
// names list whose lines do not match them.
void MainWindow::SayPieceCount() {
    const std::string& problem = planProblem_;
    if (!shownPlan_) return;
    const std::size_t pieces = shownPlan_->plan.save.pieces.size();
    const std::size_t out = static_cast<std::size_t>(std::count(shownPlan_->leftOut.begin(), shownPlan_->leftOut.end(), true));
    std::string said = "ピース " + std::to_string(pieces) + " 個";
    if (out > 0) said += " (" + std::to_string(out) + " 個は保存しません)";
    std::string mismatch;
    if (!names.empty() && names.size() != pieces)
        mismatch = "名前の一覧は " + std::to_string(names.size()) + " 行、ピースは " + std::to_string(pieces) + " 個です";
    std::string label = said;
    if (!mismatch.empty()) label += "  " + mismatch;
    if (!problem.empty()) label += "  " + problem.substr(0, problem.find('\r'));
    SetText(kIdPieceListLabel, label);
    if (runCuts_.empty() && mismatch.empty()) return;
    // The status line is one line of a fixed width: what does not fit is left
    // out, what has a place of its own first (the pieces left out are above
    // the list, the threshold in its box; the mismatch says the pieces' count).
    const std::string count = "ピース " + std::to_string(pieces) + " 個";
    const std::string run = runThreshold_.empty() ? runCuts_ : runThreshold_ + "、" + runCuts_;
    const std::string tail = mismatch.empty() ? "" : "。" + mismatch;
    std::vector<std::string> tries;
    if (!runCuts_.empty())
        tries = {run + "、" + said + tail, run + "、" + count + tail, runCuts_ + "、" + count + tail};
    if (!mismatch.empty()) {
        const std::string shortMismatch = "名前 " + std::to_string(names.size()) + " 行・" + count;
        if (!runCuts_.empty()) tries.insert(tries.end(), {runCuts_ + tail, runCuts_ + "、" + shortMismatch});
        tries.insert(tries.end(), {mismatch, shortMismatch});
    }
    const auto fits = std::find_if(tries.begin(), tries.end(), [this](const std::string& t) { return FitsStatusLine(t); });
    Status(fits != tries.end() ? *fits : tries.back());
}

bool MainWindow::FitsStatusLine(const std::string& text) const {
    HWND status = GetDlgItem(handle, kIdStatus);
    RECT client{};
    GetClientRect(status, &client);
    WindowDc dc(status);
    Selection font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageA(status, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    return extent.cx <= client.right - client.left;
}

void MainWindow::OnPieceListNotify(const NMHDR& header) {
    if (header.code != LVN_ITEMCHANGED || fillingList_ || !shownPlan_) return;
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    const std::size_t k = static_cast<std::size_t>(change.iItem);
    if (change.iItem < 0 || k >= shownPlan_->plan.uncut.size()) return;
    if ((change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK)) {
        const bool kept = RowChecked(header.hwndFrom, change.iItem);
        const Piece& p = shownPlan_->plan.uncut[k];
        if (kept == !Holds(leftOut_, p)) return;
        if (kept)
            leftOut_.erase(std::remove_if(leftOut_.begin(), leftOut_.end(), [&](const Piece& q) { return SamePiece(p, q); }),
                           leftOut_.end());
        else
            leftOut_.push_back(p);
        Replan();
        return;
    }
    if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED))
        if (const WavePtr wave = CurrentWave(workers))
            ScrollGraphToValue(graph, shownPlan_->plan.uncut[k].offset / std::max<std::uint32_t>(1, wave->sampleBytes()));
}

void MainWindow::PlayListPiece() {
    const int row = static_cast<int>(SendDlgItemMessageA(handle, kIdPieceList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (!shownPlan_ || row < 0 || static_cast<std::size_t>(row) >= shownPlan_->plan.save.pieces.size()) return;
    const Piece& p = shownPlan_->plan.save.pieces[static_cast<std::size_t>(row)];
    PlayStretch(graph, p.offset, p.length);
}

std::vector<Piece> MainWindow::LeftOutOfShownPlan() const { return leftOut_; }

}  // namespace tw
