#pragma once
// The toolbar's 16 x 15 pixel button images, drawn rather than loaded so the
// program needs no image files beside it.

#include <QIcon>
#include <QImage>

namespace app {

QIcon ToolbarIcon(int commandId);
// The program's icon (the main window's and the desktop file's), drawn at
// the size asked for. An image, so
// the build can write it to a file without a display.
QImage ProgramIconImage(int size);
QIcon ProgramIcon();

}  // namespace app
