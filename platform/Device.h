#pragma once
// The device channel: a program opens a device by name and submits request
// blocks to it with a control code; a driver registered under that name
// completes each request at once or later, from any thread, and sets the
// request's completion event. This is what the card's kernel driver is
// reached through.
//
// Rules the Tpx library relies on:
// - A request owns copies of its input and output blocks, so a caller that
//   gives up (time-out, cancel) never leaves the driver writing into freed
//   memory; the first completion wins and later ones are ignored.
// - Closing a handle completes every request still pending on it with
//   kErrorOperationAborted (a pending Read ends that way).
// - When no driver is registered under a name, the channel loads the driver
//   module configured for that name with SetDriverModule (as an operating
//   system loads a kernel driver), looked for in MARLOTRC_DRIVER_DIR or else
//   next to this library, and calls its entry point, which registers the
//   driver. The Tpx library names the emulated card as the module of
//   "\\.\ORINTPX", so a program that only links it reaches the emulated card
//   with no set-up, while tests register a card of their own with chosen
//   faults before opening.

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Event.h"
#include "platform/Win32Error.h"

namespace platform {

struct DeviceTag;
using DeviceHandle = DeviceTag*;

// One submitted request, shared by the caller and the driver until it is
// completed. Thread-safe.
class DeviceRequest {
public:
    DeviceRequest(std::uint32_t controlCode, std::span<const std::uint8_t> input, EventHandle event);

    std::uint32_t ControlCode() const { return m_controlCode; }
    std::span<const std::uint8_t> Input() const { return m_input; }

    // Completes the request with a result code and its output block (at most
    // the input's size; empty output keeps the input bytes), sets the event.
    // Returns false, changing nothing, when it was already completed.
    bool Complete(std::uint32_t error, std::span<const std::uint8_t> output = {});
    bool IsCompleted() const;

    // Caller side: kErrorIoIncomplete while pending, else the result code;
    // the output block is copied into block (up to its size).
    std::uint32_t TakeResult(std::span<std::uint8_t> block) const;

private:
    const std::uint32_t m_controlCode;
    const std::vector<std::uint8_t> m_input;
    const EventHandle m_event;
    mutable std::mutex m_mutex;
    bool m_completed = false;            // guarded by m_mutex
    std::uint32_t m_error = 0;           // guarded by m_mutex
    std::vector<std::uint8_t> m_output;  // guarded by m_mutex
};

// A driver behind a device name. Calls come from the threads of the programs
// using the device, never under a lock of the channel.
class DeviceDriver {
public:
    virtual ~DeviceDriver() = default;
    // A handle was opened; fileId names it in later calls. Non-zero refuses it.
    virtual std::uint32_t OnOpen(std::uint64_t fileId) = 0;
    // Completes the request now (before returning) or later.
    virtual void OnRequest(std::uint64_t fileId, std::shared_ptr<DeviceRequest> request) = 0;
    // The handle was closed; the channel then aborts whatever is still pending.
    virtual void OnClose(std::uint64_t fileId) = 0;
};

// Installs a driver under a device name, replacing any before it; handles
// already open keep the driver they were opened on.
void RegisterDeviceDriver(const std::string& name, std::shared_ptr<DeviceDriver> driver);

// The driver module (a file name) loaded for `device` when it is opened with
// no driver registered; the last call for a device wins.
void SetDriverModule(std::string_view device, std::string_view file);

// The caller's record of one request in flight (the overlapped structure).
struct Overlapped {
    EventHandle event = nullptr;  // the caller's manual-reset completion event
    std::shared_ptr<DeviceRequest> request;
};

// Opens a device; null with *error = kErrorFileNotFound when no driver is there.
DeviceHandle OpenDevice(std::string_view name, std::uint32_t* error = nullptr);

// Closes the handle; returns false for an invalid one.
bool CloseDevice(DeviceHandle device);

// Submits block (input and output) with a control code. Returns 0 when the
// driver completed it at once (block then holds the output), kErrorIoPending
// while it runs (take the result with GetOverlappedResult once the event is
// set), or the error it failed with.
std::uint32_t DeviceIoControl(DeviceHandle device, std::uint32_t controlCode,
                              std::span<std::uint8_t> block, Overlapped& overlapped);

// The outcome of a submitted request without waiting: kErrorIoIncomplete while
// pending, else its result code, with the output copied into block.
std::uint32_t GetOverlappedResult(const Overlapped& overlapped, std::span<std::uint8_t> block);

// Cancels the request: it completes with kErrorOperationAborted unless the
// driver completed it first.
void CancelIo(Overlapped& overlapped);

#ifdef MARLOTRC_TESTING
// Removes the driver registered under a name, so that a test leaves none
// behind; handles already open keep it (libmarloplatform-testing.so only).
void UnregisterDeviceDriver(const std::string& name);

// Number of open device handles in the process, for leak checks
// (libmarloplatform-testing.so only).
std::size_t OpenDeviceHandleCount();
#endif

}  // namespace platform
