// Control ids, command ids and fixed texts of the main window.
#pragma once

namespace tw {

enum MainControlId : int {
    kIdGraph = 1000,
    kIdCuttingMode = 1001,
    kIdPath = 1003,
    kIdChannels = 1005,
    kIdSampleRate = 1007,
    kIdBits = 1009,
    kIdPeak = 1011,
    kIdNadir = 1014,
    kIdThreshold = 1016,
    kIdPrefix = 1019,
    kIdDigits = 1021,
    kIdSmallestPositive = 1024,
    kIdProgress = 1025,
    kIdStatus = 1026,
    kIdAverage = 1028,
    kIdAutoCut = 1029,
    kIdSave = 1030,
    kIdScrollBar = 1031,
    kIdZoomIn = 1032,
    kIdZoomOut = 1033,
    kIdRedraw = 1034,
    kIdMenuVersion = 1036,
    // Pause cutting, above the auto-cutting group.
    kIdPauseMode = 1040,
    kIdPauseLabel = 1041,
    kIdPauseLength = 1042,
};

// Posted by a pause-cutting worker when its cuts are ready (lParam: the result).
constexpr UINT kMsgPauseCutsReady = WM_APP + 1;

// Items of the graph's right-click menu (commands of the main window).
enum GraphMenuId : int {
    kIdMenuPlayPiece = 1101,
    kIdMenuPlayFromHere = 1102,
    kIdMenuStop = 1103,
    kIdMenuDeleteCut = 1104,
    kIdMenuDeleteAllCuts = 1105,
    kIdMenuUndo = 1106,
};

// Timers of the main window.
constexpr UINT_PTR kTimerPlayLine = 1;

constexpr int kMainWidth = 580;
constexpr int kMainHeight = 500;
constexpr const char* kVersionText = "0.20";
constexpr const char* kTitlePrefix = "Tarnwick Ver.";

}  // namespace tw
