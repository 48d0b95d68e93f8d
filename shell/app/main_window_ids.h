// Control ids, command ids and fixed texts of the main window.
#pragma once

namespace tw {

enum MainControlId : int {
    kIdGraph = 1000,
    kIdCuttingMode = 1001,
    kIdFileGroup = 1002,
    kIdPath = 1003,
    kIdChannelsLabel = 1004,
    kIdChannels = 1005,
    kIdSampleRateLabel = 1006,
    kIdSampleRate = 1007,
    kIdBitsLabel = 1008,
    kIdBits = 1009,
    kIdPeakLabel = 1010,
    kIdPeak = 1011,
    kIdPathLabel = 1012,
    kIdNadirLabel = 1013,
    kIdNadir = 1014,
    kIdThresholdLabel = 1015,
    kIdThreshold = 1016,
    kIdAutoCutGroup = 1017,
    kIdOutputGroup = 1018,
    kIdPrefix = 1019,
    kIdDigitsLabel = 1020,
    kIdDigits = 1021,
    kIdPrefixLabel = 1022,
    kIdSmallestPositiveLabel = 1023,
    kIdSmallestPositive = 1024,
    kIdProgress = 1025,
    kIdStatus = 1026,
    kIdAverageLabel = 1027,
    kIdAverage = 1028,
    kIdAutoCut = 1029,
    kIdSave = 1030,
    kIdScrollBar = 1031,
    kIdZoomIn = 1032,
    kIdZoomOut = 1033,
    kIdRedraw = 1034,
    kIdRedrawLabel = 1035,
    kIdMenuVersion = 1036,
    // Pause cutting, above the auto-cutting group.
    kIdPauseMode = 1040,
    kIdPauseLabel = 1041,
    kIdPauseLength = 1042,
    // The piece rules, in the free corner left of the zoom row.
    kIdLongestLabel = 1043,
    kIdLongest = 1044,
    kIdShortestLabel = 1045,
    kIdShortest = 1046,
    kIdPieceCountLabel = 1047,
    kIdPieceCount = 1048,
    kIdMarginLabel = 1049,
    kIdMargin = 1050,
    // The chosen names list, in the output group.
    kIdNamesFile = 1051,
    // The file menu.
    kIdMenuChooseNames = 1052,
    kIdMenuDropNames = 1053,
    kIdMenuWriteLabels = 1054,
    kIdMenuReadLabels = 1055,
    kIdMenuOpen = 1056,
    kIdMenuSaveCuts = 1057,
    kIdMenuExit = 1058,
    // The time axis under the graph, and the recording's length.
    kIdTimeAxis = 1059,
    kIdLengthLabel = 1060,
    kIdLength = 1061,
    // The planned pieces, below the file's numbers, and what is said above them.
    kIdPieceList = 1062,
    kIdPieceListLabel = 1063,
    // The time and value under the pointer, beside the status line.
    kIdPointer = 1064,
    // Space in the piece list: its selected piece played.
    kIdMenuPlayListPiece = 1065,
    // Saving: replace pieces of the same names; a folder per recording.
    kIdReplace = 1080,
    kIdFolderPerRecording = 1081,
    // The information menu's user guide (F1).
    kIdMenuGuide = 1082,
    // An MP3 recording's pieces written from its own frames (checked) or as WAV.
    kIdMp3Pieces = 1083,
};

constexpr int kMainWidth = 580;
// The window the control tables were laid out in: its outer size with a
// fixed frame (tall enough for the numbers row that holds the average whole).
constexpr int kMainHeight = 522;
// Every control below the graph sits this much lower than its table says,
// under the time axis.
constexpr int kBelowGraphShift = 16;
// The piece list's strip at the bottom: its label and the list as the
// window opens; it takes a third of the height the window gains.
constexpr int kPieceListTop = 490;
constexpr int kPieceListHeight = 130;
constexpr int kPieceStripHeight = 150;
constexpr const char* kVersionText = "0.20";
constexpr const char* kTitlePrefix = "Tarnwick Ver.";
// The user guide that comes with the program, beside Tarnwick.exe.
constexpr const wchar_t* kGuideFileName = L"Tarnwick.txt";

}  // namespace tw
