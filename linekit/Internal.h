#pragma once
// Pieces of the Tpx library shared by its source files. Nothing here is
// exported: the library's only symbols are the functions of linekit/tpx.h.

#include <array>
#include <cstdint>
#include <exception>
#include <new>
#include <span>

#include "linekit/tpx.h"
#include "platform/Device.h"
#include "platform/Event.h"

namespace linekit {

// The driver request block (TpxDriverRequest): one control code, one layout.
inline constexpr std::uint32_t kControlCode = 0xCCCC2004u;
inline constexpr std::size_t kBlockSize = TPX_REQUEST_BLOCK_SIZE;
using RequestBlock = std::array<std::uint8_t, kBlockSize>;

enum RequestCode : std::uint32_t {
    kRegister = 1,
    kOpen = 2,
    kClose = 3,
    kRead = 4,
    kWrite = 5,
    kUnregister = 6,
};

// Offsets within the request block.
inline constexpr std::size_t kOffCode = 0;
inline constexpr std::size_t kOffClientId = 4;
inline constexpr std::size_t kOffConnectionId = 8;   // Register out: adapter count
inline constexpr std::size_t kOffNames = 12;         // Register out: 8 x 40 bytes
inline constexpr std::size_t kNameSlotBytes = 40;
inline constexpr std::size_t kOffOpenName = 8;       // Open in: overlays the connection id
inline constexpr std::size_t kOffOpenConnectionId = 48;
inline constexpr std::size_t kOffOpenResult = 52;
inline constexpr std::size_t kOffCloseResult = 12;
inline constexpr std::size_t kOffReadHeaderLength = 12;
inline constexpr std::size_t kOffReadDataLength = 14;
inline constexpr std::size_t kOffReadMessage = 16;
inline constexpr std::size_t kOffWriteType = 12;
inline constexpr std::size_t kOffWriteHeaderLength = 14;
inline constexpr std::size_t kOffWriteDataLength = 16;
inline constexpr std::size_t kOffWriteMessage = 18;

inline platform::DeviceHandle ToDevice(TpxHandle h) { return static_cast<platform::DeviceHandle>(h); }
inline platform::EventHandle ToEvent(TpxHandle h) { return static_cast<platform::EventHandle>(h); }

// The library's wait for a driver completion or a GSM response, in ms:
// 10000 unless the test hook changed it.
std::uint32_t TimeoutMs();

// A block with its request code, client id and connection id filled in.
RequestBlock MakeBlock(std::uint32_t code, std::uint32_t clientId, std::uint32_t connectionId);

// Sends one request and waits for its completion: without limit for Read,
// TimeoutMs() for the others; a time-out cancels the request, shows
// "The command %d timed out" and gives 258. The block holds the output.
std::uint32_t SendRequest(TpxHandle device, RequestBlock& block);

// Shows a message with the library's name as caption.
void ShowMessage(const char* text);

// Starts the monitor thread of an opened connection. Throws on failure.
void StartMonitor(TpxConnection& connection);

// Ends every monitor thread of a device whose handle has just been closed
// and waits for them.
void StopMonitors(TpxHandle device);

// Runs an export's body so that no exception crosses the C boundary.
template <typename Body>
std::uint32_t Guarded(Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return TPX_ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        return platform::kErrorGenFailure;
    }
}

}  // namespace linekit
