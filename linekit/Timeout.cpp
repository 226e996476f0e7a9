// The library's wait for a driver completion or a GSM response, as programs
// get it: always 10000 ms. The test variant of the library has WaitLimit.cpp
// in this file's place.

#include "linekit/Internal.h"

namespace linekit {

std::uint32_t TimeoutMs() { return TPX_RESPONSE_TIMEOUT_MS; }

}  // namespace linekit
