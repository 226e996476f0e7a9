// Build tool: writes the program's icon as PNG files for the desktop's icon
// theme. Usage: marlo_mkicon SIZE FILE.
#include <cstdio>
#include <cstdlib>

#include "app/ToolbarIcons.h"

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: marlo_mkicon SIZE FILE\n");
        return 2;
    }
    return app::ProgramIconImage(std::atoi(argv[1])).save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
