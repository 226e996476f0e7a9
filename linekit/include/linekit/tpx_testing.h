/*
 * Test hook of liblinekit-testing.so, the variant of the Tpx library that the
 * project's test programs link: it shortens the library's 10000 ms waits
 * (driver completion and GSM Open/Close responses) so that tests of time-out
 * paths run quickly. The installed liblinekit.so does not export it.
 */
#ifndef LINEKIT_TPX_TESTING_H
#define LINEKIT_TPX_TESTING_H

#include "linekit/tpx.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the time-out in milliseconds; 0 restores TPX_RESPONSE_TIMEOUT_MS. */
TPX_API void TpxSetTimeoutForTesting(uint32_t milliseconds);

#ifdef __cplusplus
}
#endif

#endif /* LINEKIT_TPX_TESTING_H */
