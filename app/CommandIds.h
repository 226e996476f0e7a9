#pragma once
// The program's commands, as the command table, menus, keys and the toolbar
// name them, and its three menu bars.

namespace app {

enum CommandId : int {
    ID_SEPARATOR,  // in a menu's list of commands: a separator line, not a command
    ID_TRACE_START,
    ID_TRACE_STOP,
    ID_VIEW_CARD_STATUS,
    ID_FILE_OPEN_LOG,
    ID_FILE_OPEN_LOG_NODOC,
    ID_VIEW_CARD_STATISTICS,
    ID_VIEW_INFORMATION,
    ID_FILE_SAVE_DIAGNOSTICS,
    ID_FILE_EXPORT,  // frames for packet analysers (pcap, pcapng)
    ID_VIEW_CALLS,     // the calls of the active window, with their ladders
    ID_VIEW_PROBLEMS,  // the problems found in the active window's trace
    ID_VIEW_ELEMENT_DETAILS,  // decode trees with what each element's octets mean
    ID_VIEW_AUTO_SCROLL,  // follow the newest record while records arrive
    ID_VIEW_COLOUR_ROWS,  // record rows coloured by kind
    ID_EDIT_FIND,
    ID_EDIT_FIND_NEXT,
    ID_EDIT_FIND_PREVIOUS,
    ID_VIEW_TIME_OF_DAY,  // Timestamp column formats
    ID_VIEW_TIME_SINCE_FIRST,
    ID_VIEW_TIME_SINCE_PREVIOUS,
    ID_FILE_NEW,
    ID_FILE_OPEN,
    ID_FILE_CLOSE,
    ID_FILE_SAVE,
    ID_FILE_PRINT,
    ID_EDIT_COPY,
    ID_EDIT_CUT,
    ID_EDIT_PASTE,
    ID_EDIT_UNDO,
    ID_WINDOW_NEW,
    ID_WINDOW_ARRANGE,
    ID_WINDOW_CASCADE,
    ID_WINDOW_TILE_HORZ,
    ID_APP_ABOUT,
    ID_APP_EXIT,
    ID_NEXT_PANE,
    ID_PREV_PANE,
    ID_VIEW_TOOLBAR,
    ID_VIEW_STATUS_BAR,
};

// The menu bars: with no document, for an adapter trace document, for a log
// document.
enum MenuId : int { IDR_MAINFRAME, IDR_MARLOTTYPE, IDR_LOGTYPE };

}  // namespace app
