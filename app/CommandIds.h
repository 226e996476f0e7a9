#pragma once
// The program's command identifiers: the framework's standard ones and the
// program's own, as menus, keys and the toolbar use them.

namespace app {

enum CommandId : int {
    ID_TRACE_START = 32771,
    ID_TRACE_STOP = 32772,
    ID_VIEW_CARD_STATUS = 32789,
    ID_FILE_OPEN_LOG = 32790,
    ID_FILE_OPEN_LOG_NODOC = 32791,
    ID_VIEW_CARD_STATISTICS = 32793,
    ID_VIEW_INFORMATION = 32794,
    ID_FILE_SAVE_DIAGNOSTICS = 32795,
    ID_FILE_EXPORT = 32796,  // frames for packet analysers (pcap, pcapng)
    ID_VIEW_CALLS = 32797,     // the calls of the active window, with their ladders
    ID_VIEW_PROBLEMS = 32798,  // the problems found in the active window's trace
    ID_VIEW_ELEMENT_DETAILS = 32799,  // decode trees with what each element's octets mean
    ID_VIEW_AUTO_SCROLL = 32830,  // follow the newest record while records arrive
    ID_VIEW_COLOUR_ROWS = 32831,  // record rows coloured by kind
    ID_EDIT_FIND = 32832,
    ID_EDIT_FIND_NEXT = 32833,
    ID_EDIT_FIND_PREVIOUS = 32834,
    ID_VIEW_TIME_OF_DAY = 32835,  // Timestamp column formats
    ID_VIEW_TIME_SINCE_FIRST = 32836,
    ID_VIEW_TIME_SINCE_PREVIOUS = 32837,
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_CLOSE = 57602,
    ID_FILE_SAVE = 57603,
    ID_FILE_PRINT_SETUP = 57606,
    ID_FILE_PRINT = 57607,
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_WINDOW_NEW = 57648,
    ID_WINDOW_ARRANGE = 57649,
    ID_WINDOW_CASCADE = 57650,
    ID_WINDOW_TILE_HORZ = 57651,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
};

// The menu bars: with no document, for an adapter trace document, for a log
// document.
enum MenuId : int { IDR_MAINFRAME = 128, IDR_MARLOTTYPE = 129, IDR_LOGTYPE = 134 };

}  // namespace app
