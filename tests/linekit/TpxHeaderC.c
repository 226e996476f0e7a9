/* The Tpx headers compiled as C89: they must stay plain C with fixed-width
 * types. Reports the sizes the C compiler sees, for comparison with C++. */
#include "linekit/tpx.h"
#include "linekit/tpx_event.h"

#include <stddef.h>

size_t TpxCSizeOfConnection(void) { return sizeof(TpxConnection); }
size_t TpxCSizeOfResponseBlock(void) { return sizeof(TpxResponseBlock); }
size_t TpxCSizeOfMessageHeader(void) { return sizeof(TpxMessageHeader); }
size_t TpxCOffsetOfResponseMessage(void) { return offsetof(TpxResponseBlock, message); }

/* Takes the address of every export, so a declaration that C cannot use
 * fails to compile here; returns how many there are. */
typedef void (*AnyFunction)(void);
size_t TpxCExportCount(void) {
    const AnyFunction exports[] = {
        (AnyFunction)&TpxRegister, (AnyFunction)&TpxUnregister, (AnyFunction)&TpxOpen,
        (AnyFunction)&TpxGsmClose, (AnyFunction)&TpxClose, (AnyFunction)&TpxWrite, (AnyFunction)&TpxRead,
        (AnyFunction)&TpxLineEnable, (AnyFunction)&TpxLineDisable, (AnyFunction)&TpxLineSetConfig,
        (AnyFunction)&TpxLinkSetConfig, (AnyFunction)&TpxLineGetStatus, (AnyFunction)&TpxLinkGetStatus,
        (AnyFunction)&TpxLineTraceControlEnable, (AnyFunction)&TpxLineTraceControlDisable,
        (AnyFunction)&TpxLineGetStatistics, (AnyFunction)&TpxLinkGetStatistics,
        (AnyFunction)&TpxLineZeroStatistics, (AnyFunction)&TpxLinkZeroStatistics,
        (AnyFunction)&GetL2LinkStateString, (AnyFunction)&GetL3LinkStateString, (AnyFunction)&SignatureSearch,
        (AnyFunction)&TpxCreateEvent, (AnyFunction)&TpxOpenEvent, (AnyFunction)&TpxSetEvent,
        (AnyFunction)&TpxResetEvent, (AnyFunction)&TpxWaitForEvent, (AnyFunction)&TpxCloseEvent,
    };
    size_t n = 0;
    size_t i;
    for (i = 0; i < sizeof exports / sizeof exports[0]; ++i) n += exports[i] != NULL;
    return n;
}
