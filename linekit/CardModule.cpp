// The emulated card's driver module file, as the build names it: the same
// variant as this library's, so a test program's process holds one platform
// library whichever of them loads it.

#include "linekit/Internal.h"

namespace linekit {

const char* CardModuleFile() { return MARLOTRC_CARD_MODULE; }

}  // namespace linekit
