#pragma once
// Pieces of the Tpx library shared by its source files. Nothing here is
// exported: the library's only symbols are the functions of linekit/tpx.h.

#include <array>
#include <cstdint>
#include <exception>
#include <new>
#include <span>
#include <string_view>

#include "linekit/tpx.h"
#include "linekit/tpx_event.h"
#include "platform/Device.h"
#include "platform/Event.h"
#include "wire/Tpx.h"

namespace linekit {

// The request block and message layouts are the driver's contract, shared
// with the emulated card.
using namespace wire;

// The C header repeats the contract's numbers for programs; they must agree.
static_assert(std::string_view(TPX_DEVICE_NAME) == kDeviceName);
static_assert(TPX_REQUEST_BLOCK_SIZE == kBlockSize);
static_assert(TPX_MAX_MESSAGE_BYTES == kMaxMessageBytes);
static_assert(TPX_LINE_ADDRESS == kLineAddress);

inline platform::DeviceHandle ToDevice(TpxHandle h) { return static_cast<platform::DeviceHandle>(h); }
inline platform::EventHandle ToEvent(TpxHandle h) { return static_cast<platform::EventHandle>(h); }

// The library's wait for a driver completion or a GSM response, in ms:
// 10000; in the test variant a WaitLimit of the calling thread shortens it
// (Timeout.cpp).
std::uint32_t TimeoutMs();

// The file name of the emulated card's driver module (CardModule.cpp).
const char* CardModuleFile();

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

// The record writer's state of the monitor of an open connection.
std::uint32_t GetCaptureStatus(TpxHandle device, std::uint32_t connectionId, TpxCaptureStatus& status);

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
