#pragma once
// Result codes of the kernel services the Tpx API passes on to its callers.
// The API's contract is in these numbers (258 is the driver time-out every
// client tests for), so the device channel and the events speak them too.

#include <cstdint>

namespace platform {

inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorInvalidFunction = 1;      // unknown control code
inline constexpr std::uint32_t kErrorFileNotFound = 2;         // no such device
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorInvalidData = 13;
inline constexpr std::uint32_t kErrorGenFailure = 31;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kErrorOperationAborted = 995;   // cancelled, or its handle closed
inline constexpr std::uint32_t kErrorIoIncomplete = 996;       // result taken before completion
inline constexpr std::uint32_t kErrorIoPending = 997;
inline constexpr std::uint32_t kErrorDeviceNotConnected = 1167;

}  // namespace platform
