#pragma once
// The private messages that Marivane's worker threads and windows post to each other
// (platform::MessageSink), and the values of their parameters.

#include <cstdint>

namespace marivane {

// To the main frame: positioned pings and swath edges are waiting in their queues.
inline constexpr unsigned WM_PING_PROCESSED = 0x468;
// To the main frame; lParam: the client height. Re-split chart and bottom view.
inline constexpr unsigned WM_SPLITTER_RESIZED = 0x483;
// To the main frame: redraw. wParam kRefreshChart (lParam kRefreshAppendTrack: append the pending
// track points first) or kRefreshBottomView.
inline constexpr unsigned WM_REFRESH_VIEWS = 0x5F8;
// To the data pane: refresh; wParam one of DataUpdateKind.
inline constexpr unsigned WM_DATA_UPDATE = 0x5F9;
// To the project pane: rebuild one folder branch; wParam the folder index 0 to 6.
inline constexpr unsigned WM_REFRESH_PROJECT_TREE = 0x5FA;
// To the data pane: the speed unit changed.
inline constexpr unsigned WM_SPEED_UNIT_CHANGED = 0x600;
// To the main frame: load the last project at start-up.
inline constexpr unsigned WM_LOAD_LAST_PROJECT = 0x603;
// To the chart view; wParam: track mode 0 to 3.
inline constexpr unsigned WM_SET_TRACK_MODE = 0x604;
// To the chart view: recording closed in automatic line mode, switch line.
inline constexpr unsigned WM_RECORDING_STOPPED = 0x605;
// To the chart view; wParam one of EditorKind: an editor window was destroyed.
inline constexpr unsigned WM_EDITOR_CLOSED = 0x606;
// To the chart view; wParam: address of a double that stays valid; lParam one of ViewValueKind.
inline constexpr unsigned WM_VIEW_VALUE = 0x607;

// wParam and lParam of WM_REFRESH_VIEWS.
inline constexpr std::uintptr_t kRefreshChart = 0;
inline constexpr std::uintptr_t kRefreshBottomView = 1;
inline constexpr std::intptr_t kRefreshAppendTrack = 1;

// wParam of WM_DATA_UPDATE.
enum DataUpdateKind : std::uintptr_t {
    kDataGnssFix = 1,
    kDataHeading = 2,
    kDataAttitude = 3,
    kDataPing = 4,
    kDataNadirDepth = 5,
    kDataProjectOpened = 6,
};

// wParam of WM_EDITOR_CLOSED.
enum EditorKind : std::uintptr_t { kEditorLine = 0, kEditorBorder = 1, kEditorMatrix = 2 };

// lParam of WM_VIEW_VALUE.
enum ViewValueKind : std::intptr_t {
    kViewDepth = 2,
    kViewSpeedKnots = 11,
    kViewSpeedMetresPerSecond = 12,
    kViewSpeedKilometresPerHour = 13,
};

}  // namespace marivane
