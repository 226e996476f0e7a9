#pragma once
// The toolbar's 16 x 15 pixel button images, drawn rather than loaded so the
// program needs no image files beside it.

#include <QIcon>

namespace app {

QIcon ToolbarIcon(int commandId);
// The program's icon (icon 128), drawn at the size asked for.
QPixmap ProgramIconPixmap(int size);
QIcon ProgramIcon();

}  // namespace app
