// The driver channel and the connection exports: register, open, close, read
// and write. Each request gets a fresh block and a fresh completion event.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "linekit/Internal.h"
#include "platform/MessageBox.h"

namespace linekit {
namespace {

constexpr char kLibraryName[] = "linekit";

// GSM Open carries u8 0, u8 0, u16 4, u16 2, u16 0.
constexpr std::uint8_t kGsmOpenData[8] = {0x00, 0x00, 0x04, 0x00, 0x02, 0x00, 0x00, 0x00};

std::array<std::uint8_t, kGsmHeaderLength> GsmHeader(std::uint32_t opcode) {
    std::array<std::uint8_t, kGsmHeaderLength> header{};
    Put<kHeaderGroupOffset>(header, std::uint16_t{TPX_GROUP_GSM});
    Put<kHeaderConstantOffset>(header, kHeaderConstant);
    Put<TPX_HEADER_OPCODE_OFFSET>(header, opcode);
    return header;
}

std::uint32_t WriteGsm(TpxHandle device, std::uint32_t clientId, std::uint32_t connectionId,
                       std::uint32_t opcode, std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, 20> message{};
    const auto header = GsmHeader(opcode);
    std::copy(header.begin(), header.end(), message.begin());
    std::copy(data.begin(), data.end(), message.begin() + header.size());
    return TpxWrite(device, clientId, connectionId, 2, static_cast<std::uint16_t>(header.size()),
                    static_cast<std::uint16_t>(data.size()), message.data());
}

// Both events of a connection's response block must be live, and the
// acknowledge event must be the named driver event: the library acknowledges
// trace records through that name, and every connection hands its responses
// over through the one response slot of the process, so a connection
// acknowledged through any other event would hold that slot and silence every
// other connection until it closed.
bool EventsFitTheDriver(const TpxResponseBlock& response) {
    const auto responseName = platform::EventName(ToEvent(response.responseEvent));
    const auto ackName = platform::EventName(ToEvent(response.ackEvent));
    return responseName && ackName && *ackName == TPX_DRIVER_EVENT_NAME && *responseName != TPX_DRIVER_EVENT_NAME;
}

}  // namespace

void ShowMessage(const char* text) { platform::MessageBox(text, kLibraryName); }

RequestBlock MakeBlock(std::uint32_t code, std::uint32_t clientId, std::uint32_t connectionId) {
    RequestBlock block{};
    Put<kOffCode>(block, code);
    Put<kOffClientId>(block, clientId);
    Put<kOffConnectionId>(block, connectionId);
    return block;
}

std::uint32_t SendRequest(TpxHandle device, RequestBlock& block) {
    const std::uint32_t code = Get<std::uint32_t, kOffCode>(block);
    // A read waits for its completion without limit and is never cancelled
    // here, so a thread's reads share one event (the monitor thread reads
    // once per record; DeviceIoControl clears the event for each request).
    // Other requests may time out and be cancelled while the driver
    // completes them: each has an event of its own, which nothing can set
    // late for the next request.
    static thread_local const platform::UniqueEvent readCompleted(platform::CreateEvent({}, false));
    const platform::UniqueEvent ownCompleted(code == kRead ? nullptr : platform::CreateEvent({}, false));
    const platform::EventHandle completed = code == kRead ? readCompleted.Get() : ownCompleted.Get();
    if (!completed) return TPX_ERROR_NOT_ENOUGH_MEMORY;
    platform::Overlapped overlapped;
    overlapped.event = completed;
    std::uint32_t result = platform::DeviceIoControl(ToDevice(device), kControlCode, block, overlapped);
    if (result == platform::kErrorIoPending) {
        const std::uint32_t limit = code == kRead ? platform::kInfinite : TimeoutMs();
        if (platform::WaitForEvent(overlapped.event, limit) == platform::kWaitTimeout) {
            // The request owns its own copy of the block, so cancelling here
            // leaves nothing for the driver to write into afterwards.
            platform::CancelIo(overlapped);
            char text[64];
            std::snprintf(text, sizeof text, "The command %d timed out", static_cast<int>(code));
            ShowMessage(text);
            return TPX_WAIT_TIMEOUT;
        }
        result = platform::GetOverlappedResult(overlapped, block);
    }
    return result;
}

}  // namespace linekit

using namespace linekit;

extern "C" {

TPX_API uint32_t TpxRegister(TpxHandle* device, uint32_t* clientId, uint32_t* adapterCount,
                             char16_t names[TPX_MAX_ADAPTERS][TPX_ADAPTER_NAME_CHARS]) {
    return Guarded([&]() -> std::uint32_t {
        if (!device || !clientId || !adapterCount) return TPX_ERROR_INVALID_PARAMETER;
        // A missing device is not checked here: the Register request then
        // fails on the null handle, and that is the error reported.
        // Without a card of its own the device is the emulated card, whose
        // module file the build names.
        platform::SetDriverModule(kDeviceName, CardModuleFile());
        *device = platform::OpenDevice(kDeviceName);
        RequestBlock block = MakeBlock(kRegister, 0, 0);
        const std::uint32_t result = SendRequest(*device, block);
        if (result != 0) return result;
        *clientId = Get<std::uint32_t, kOffClientId>(block);
        *adapterCount = Get<std::uint32_t, kOffConnectionId>(block);
        if (names) {
            for (std::size_t a = 0; a < TPX_MAX_ADAPTERS; ++a)
                for (std::size_t c = 0; c < TPX_ADAPTER_NAME_CHARS; ++c)
                    names[a][c] = static_cast<char16_t>(
                        Little(block).U16(NameSlot(a) + 2 * c).value());
        }
        return 0;
    });
}

TPX_API uint32_t TpxUnregister(TpxHandle device, uint32_t clientId) {
    return Guarded([&]() -> std::uint32_t {
        RequestBlock block = MakeBlock(kUnregister, clientId, 0);
        const std::uint32_t result = SendRequest(device, block);
        // Closing the handle fails the monitor threads' pending reads; they
        // are waited for, so the caller may free its connection and response
        // block as soon as this returns.
        platform::CloseDevice(ToDevice(device));
        StopMonitors(device);
        return result;
    });
}

TPX_API uint32_t TpxOpen(TpxHandle device, uint32_t clientId, const char16_t* adapterName,
                         uint32_t* connectionId, uint32_t* openResult, TpxConnection* connection) {
    return Guarded([&]() -> std::uint32_t {
        if (!adapterName || !connectionId || !openResult || !connection || !connection->response)
            return TPX_ERROR_INVALID_PARAMETER;
        TpxResponseBlock& response = *connection->response;
        if (!EventsFitTheDriver(response)) return TPX_ERROR_INVALID_PARAMETER;

        RequestBlock block = MakeBlock(kOpen, clientId, 0);
        for (std::size_t c = 0; c + 1 < TPX_ADAPTER_NAME_CHARS && adapterName[c] != 0; ++c)
            LittleOut(block).U16(kOffOpenName + 2 * c, static_cast<std::uint16_t>(adapterName[c]));
        if (std::uint32_t result = SendRequest(device, block)) return result;
        *connectionId = Get<std::uint32_t, kOffOpenConnectionId>(block);
        *openResult = Get<std::uint32_t, kOffOpenResult>(block);  // examined by the caller

        connection->device = device;
        connection->clientId = clientId;
        connection->connectionId = *connectionId;

        // The acknowledge event is opened by its name, as the program's
        // events are found by theirs; it is the event of the caller's handle.
        const platform::UniqueEvent named(platform::OpenEvent(TPX_DRIVER_EVENT_NAME));
        const platform::EventHandle ack = named ? named.Get() : ToEvent(response.ackEvent);
        // A response event left set (by an earlier connection that timed
        // out, or by the caller) would let the wait below return at once and
        // leave every later response one behind.
        platform::ResetEvent(ToEvent(response.responseEvent));
        StartMonitor(*connection);

        const std::uint32_t written = WriteGsm(device, clientId, *connectionId, TPX_OP_GSM_OPEN, kGsmOpenData);
        std::uint32_t result = written;
        if (platform::WaitForEvent(ToEvent(response.responseEvent), TimeoutMs()) == platform::kWaitTimeout) {
            ShowMessage("GSM Open response timed out");
            // Tear down. The connection is gone afterwards, so the open is a
            // failure: the write's own error, or the time-out.
            if (WriteGsm(device, clientId, *connectionId, TPX_OP_GSM_CLOSE, {}) == 0 &&
                platform::WaitForEvent(ToEvent(response.responseEvent), TimeoutMs()) ==
                    platform::kWaitTimeout)
                ShowMessage("GSM Close response timed out");
            platform::ResetEvent(ToEvent(response.responseEvent));
            platform::SetEvent(ack);
            std::uint32_t closeResult = 0;
            TpxClose(device, clientId, *connectionId, &closeResult);
            result = written != 0 ? written : TPX_WAIT_TIMEOUT;
        } else {
            // Releases the monitor thread, which holds the GSM Open response.
            platform::ResetEvent(ToEvent(response.responseEvent));
            platform::SetEvent(ack);
        }
        return result;
    });
}

TPX_API uint32_t TpxGsmClose(TpxHandle device, uint32_t clientId, uint32_t connectionId, void*) {
    return Guarded([&] { return WriteGsm(device, clientId, connectionId, TPX_OP_GSM_CLOSE, {}); });
}

TPX_API uint32_t TpxClose(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                          uint32_t* closeResult) {
    return Guarded([&]() -> std::uint32_t {
        RequestBlock block = MakeBlock(kClose, clientId, connectionId);
        // A Close the driver did not complete is no accepted close: its
        // error takes the place of the driver's close result, so the caller
        // does not take a failed close for a clean one.
        const std::uint32_t sent = SendRequest(device, block);
        if (closeResult) *closeResult = sent != 0 ? sent : Get<std::uint32_t, kOffCloseResult>(block);
        return TpxUnregister(device, clientId);
    });
}

TPX_API uint32_t TpxGetCaptureStatus(TpxHandle device, uint32_t connectionId, TpxCaptureStatus* status) {
    return Guarded([&]() -> std::uint32_t {
        if (!status) return TPX_ERROR_INVALID_PARAMETER;
        return GetCaptureStatus(device, connectionId, *status);
    });
}

TPX_API uint32_t TpxWrite(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                          uint8_t messageType, uint16_t headerLength, uint16_t dataLength,
                          const void* message) {
    return Guarded([&]() -> std::uint32_t {
        const std::size_t length = std::size_t{headerLength} + dataLength;
        if (length > TPX_MAX_MESSAGE_BYTES || (length > 0 && !message)) return TPX_ERROR_INVALID_PARAMETER;
        RequestBlock block = MakeBlock(kWrite, clientId, connectionId);
        Put<kOffWriteType>(block, messageType);
        Put<kOffWriteHeaderLength>(block, headerLength);
        Put<kOffWriteDataLength>(block, dataLength);
        if (length > 0) std::memcpy(block.data() + kOffWriteMessage, message, length);
        return SendRequest(device, block);
    });
}

TPX_API uint32_t TpxRead(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                         uint16_t* headerLength, uint16_t* dataLength, void** message) {
    return Guarded([&]() -> std::uint32_t {
        if (!headerLength || !dataLength || !message) return TPX_ERROR_INVALID_PARAMETER;
        RequestBlock block = MakeBlock(kRead, clientId, connectionId);
        if (std::uint32_t result = SendRequest(device, block)) return result;
        const std::uint16_t h = Get<std::uint16_t, kOffReadHeaderLength>(block);
        const std::uint16_t d = Get<std::uint16_t, kOffReadDataLength>(block);
        const std::size_t length = std::size_t{h} + d;
        if (length > kBlockSize - kOffReadMessage) return TPX_ERROR_INVALID_DATA;
        void* copy = std::malloc(std::max<std::size_t>(length, 1));
        if (!copy) return TPX_ERROR_NOT_ENOUGH_MEMORY;
        std::memcpy(copy, block.data() + kOffReadMessage, length);
        *headerLength = h;
        *dataLength = d;
        *message = copy;
        return 0;
    });
}

}  // extern "C"
