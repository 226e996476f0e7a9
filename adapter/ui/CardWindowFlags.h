#pragma once
// The flags an adapter document keeps for its card windows. One per adapter
// document, owned by its CCardWindows; read and written on the
// user-interface thread only.

namespace adapter::ui {

struct CardWindowFlags {
    // 1 while a Card Status window belongs to the document.
    int statusWindow = 0;
    // While 1 the statistics window's timer may query the adapter. Card
    // Status clears it while it queries the adapter, so that no tick starts
    // a second conversation inside a message box of the first.
    int statisticsRefresh = 0;
};

}  // namespace adapter::ui
