/*
 * The Tpx API: the adapter service library liblinekit.so, the only piece
 * that talks to the ISDN adapter's driver (device "\\.\ORINTPX").
 *
 * Calling order for one adapter:
 *   TpxRegister -> TpxOpen -> commands -> TpxGsmClose and its response -> TpxClose
 *
 * Results: every Tpx export returns 0 when the request reached the driver,
 * else an error code of the driver channel (TPX_ERROR_...). TPX_WAIT_TIMEOUT
 * (258) means the driver did not complete the request within 10000 ms; the
 * library then has already shown "The command %d timed out" (caption
 * "linekit") through the program's message box handler. The adapter's own
 * answer arrives later, on the library's monitor thread, as a response stored
 * in the caller's TpxResponseBlock; a refusal is a non-zero result word in
 * that response's header, passed on untouched.
 *
 * Handshake for every response (the caller's side):
 *   wait up to 10000 ms for responseEvent; read the result word and the record
 *   (copy what you need: message is released right after the acknowledgement);
 *   reset responseEvent; set ackEvent.
 * The events are manual-reset events, made by the program with
 * linekit/tpx_event.h as "MarloAppEvent" (responseEvent) and
 * "MarloDriverEvent" (ackEvent; TpxOpen refuses any other). Because the names
 * are fixed, every connection of a process uses the same pair: several
 * connections may be open, and their monitor threads hand responses over
 * strictly one at a time, each held until acknowledged.
 *
 * One adapter conversation at a time per process. Whoever waits on the
 * response event takes the next response, whichever command it answers: the
 * library cannot tell two callers' responses apart. A program that sends
 * commands from several threads, or on several connections, must hold one
 * process-wide lock from each command's export call until it has set the
 * acknowledge event for that command's response (TpxOpen, and TpxGsmClose
 * with its response, included). Without it threads read each other's
 * answers.
 *
 * All multi-byte values in messages and records are little-endian; records
 * are described by byte offsets here, never to be cast onto raw bytes.
 * No export throws; none may be called from a signal handler.
 */
#ifndef LINEKIT_TPX_H
#define LINEKIT_TPX_H

#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#else
#include <uchar.h>
#endif

#if defined(__GNUC__)
#define TPX_API __attribute__((visibility("default")))
#else
#define TPX_API
#endif

/* ---- Handles, sizes, codes ------------------------------------------- */

/* A device or event handle: an opaque pointer-sized value. */
typedef void* TpxHandle;

#define TPX_DEVICE_NAME "\\\\.\\ORINTPX"
#define TPX_MAX_ADAPTERS 8
#define TPX_ADAPTER_NAME_CHARS 20          /* 16-bit characters with the terminator */
#define TPX_RESPONSE_TIMEOUT_MS 10000
#define TPX_REQUEST_BLOCK_SIZE 332         /* the driver request block */
#define TPX_MAX_MESSAGE_BYTES 314          /* header plus data of one Write */
#define TPX_STATE_TEXT_BYTES 40            /* buffer size for the state names */
#define TPX_SIGNATURE_BYTES 1536           /* buffer size for SignatureSearch */

#define TPX_ERROR_SUCCESS 0u
#define TPX_ERROR_FILE_NOT_FOUND 2u        /* no such device */
#define TPX_ERROR_INVALID_HANDLE 6u        /* device handle closed or never opened */
#define TPX_ERROR_NOT_ENOUGH_MEMORY 8u
#define TPX_ERROR_INVALID_DATA 13u         /* the driver returned a malformed block */
#define TPX_ERROR_INVALID_PARAMETER 87u    /* null pointer, or a message or text too long */
#define TPX_WAIT_TIMEOUT 258u              /* no completion within 10000 ms */
#define TPX_ERROR_OPERATION_ABORTED 995u   /* the device handle was closed meanwhile */
#define TPX_ERROR_DEVICE_NOT_CONNECTED 1167u /* the card is gone */

/* Adapter message header: group u16 at 0, constant 1 u16 at 2, opcode u32 at
 * 4, result u32 at 8 (0 in commands; the adapter's result in a response; in a
 * trace indication byte 10 is the side flags), address u32 at 12 (group 2 and
 * trace indications only: 0x11 + 256 * link). GSM messages have 12 bytes,
 * line and link messages 16, trace control and trace indications 20. */
typedef struct TpxMessageHeader {
    uint16_t group;
    uint16_t constant;
    uint32_t opcode;
    uint32_t result;
    uint32_t address;
} TpxMessageHeader;

#define TPX_HEADER_OPCODE_OFFSET 4
#define TPX_HEADER_RESULT_OFFSET 8
#define TPX_HEADER_FLAGS_OFFSET 10
#define TPX_HEADER_ADDRESS_OFFSET 12
#define TPX_GROUP_GSM 1
#define TPX_GROUP_LINE 2
#define TPX_LINE_ADDRESS 0x11u

#define TPX_OP_GSM_OPEN 0x0001u
#define TPX_OP_GSM_CLOSE 0x0002u
#define TPX_OP_TRACE_INDICATION 0x2080u
#define TPX_OP_LINE_GET_STATUS 0x8800u
#define TPX_OP_LINK_GET_STATUS 0x8900u
#define TPX_OP_LINE_GET_STATISTICS 0x8B00u
#define TPX_OP_LINE_ZERO_STATISTICS 0x8C00u
#define TPX_OP_LINK_GET_STATISTICS 0x8D00u
#define TPX_OP_LINK_ZERO_STATISTICS 0x8E00u
#define TPX_OP_LINE_DISABLE 0x8F00u
#define TPX_OP_LINE_ENABLE 0x9000u
#define TPX_OP_LINE_SET_CONFIG 0x9400u
#define TPX_OP_LINK_SET_CONFIG 0x9600u
#define TPX_OP_TRACE_CONTROL 0x9900u

/* ---- Response records (the data after a response's header) ------------- */

/* TpxLineStatus, at least 8 bytes. */
#define TPX_LINE_STATUS_BYTES 8
#define TPX_LINE_STATUS_STATE 0    /* 0 L1 inactive, 1 L1 active, 2 L2 active, 3 L3 active */
#define TPX_LINE_STATUS_RX 6       /* receiving signal: 0 INFO 0, 2 INFO 2, 4 INFO 4 */
#define TPX_LINE_STATUS_TX 7       /* transmission signal: 0 INFO 0, 1 INFO 1, 2 INFO 3 */

/* TpxLinkStatus, at least 4 bytes. */
#define TPX_LINK_STATUS_BYTES 4
#define TPX_LINK_STATUS_L2 2       /* named by GetL2LinkStateString */
#define TPX_LINK_STATUS_L3 3       /* named by GetL3LinkStateString */

/* TpxLineStatistics, 17 bytes. */
#define TPX_LINE_STATISTICS_BYTES 17
#define TPX_LINE_STATISTICS_LAST_CHANGED 12  /* u32, hundredths of a second */
#define TPX_LINE_STATISTICS_INTERFACE 16     /* 75 S/T interface, 76 U interface */

/* TpxLinkStatistics, 57 bytes; every counter is a u32. */
#define TPX_LINK_STATISTICS_BYTES 57
#define TPX_LINK_STATISTICS_LAST_CHANGED 8
#define TPX_LINK_STATISTICS_MTU 12
#define TPX_LINK_STATISTICS_IN_OCTETS 16
#define TPX_LINK_STATISTICS_IN_PACKETS 20
#define TPX_LINK_STATISTICS_IN_PACKET_TOTAL 24
#define TPX_LINK_STATISTICS_IN_DISCARDS 28
#define TPX_LINK_STATISTICS_IN_ERRORS 32
#define TPX_LINK_STATISTICS_OUT_OCTETS 36
#define TPX_LINK_STATISTICS_OUT_PACKETS 40
#define TPX_LINK_STATISTICS_OUT_PACKET_TOTAL 44
#define TPX_LINK_STATISTICS_OUT_DISCARDS 48
#define TPX_LINK_STATISTICS_OUT_ERRORS 52
#define TPX_LINK_STATISTICS_TYPE 56          /* 63 ISDN signalling, 76 LAPD */

/* ---- Shared blocks -------------------------------------------------------- */

/* Filled by the monitor thread for each response; owned by the program, which
 * must keep it (and the TpxConnection) alive until TpxClose has returned. */
typedef struct TpxResponseBlock {
    /* Open trace log file descriptor that trace records are appended to;
     * 0 or negative drops trace indications (0 is never a log file: it is
     * the standard input). */
    intptr_t captureFile;
    TpxHandle responseEvent;  /* "MarloAppEvent": set by the monitor thread */
    TpxHandle ackEvent;       /* "MarloDriverEvent": set by the program */
    uint16_t headerLength;    /* of the stored response */
    uint16_t dataLength;
    /* The stored response, header then data; owned by the monitor thread and
     * valid only until ackEvent is set. */
    const void* message;
} TpxResponseBlock;

/* Connection context: the program owns it and sets response before TpxOpen;
 * TpxOpen fills the rest; the monitor thread reads it while it runs. */
typedef struct TpxConnection {
    TpxHandle device;
    uint32_t clientId;
    uint32_t connectionId;
    TpxResponseBlock* response;
} TpxConnection;

/* ---- Driver channel and connection (exports) ------------------------------ */

/* Opens the device (its handle is stored in *device even when the open failed,
 * as a null handle), registers a client and copies the client id, the adapter
 * count and all 8 adapter name slots out. A missing device gives
 * TPX_ERROR_INVALID_HANDLE from the Register request. */
TPX_API uint32_t TpxRegister(TpxHandle* device, uint32_t* clientId, uint32_t* adapterCount,
                             char16_t names[TPX_MAX_ADAPTERS][TPX_ADAPTER_NAME_CHARS]);

/* Ends the registration and closes the device whatever the result; this ends
 * every monitor thread of the device (it is waited for). Returns the
 * Unregister request's result. */
TPX_API uint32_t TpxUnregister(TpxHandle device, uint32_t clientId);

/* Opens a connection to the named adapter (at most 19 characters are sent),
 * starts the monitor thread, sends GSM Open and waits up to 10000 ms for its
 * response, which it acknowledges itself. Refuses with
 * TPX_ERROR_INVALID_PARAMETER, before the driver hears of it, a connection
 * whose response block lacks a live response or acknowledge event, or whose
 * acknowledge event is not "MarloDriverEvent" (or is also the response
 * event). The response event is reset before GSM Open is written, so one left
 * set is not taken for the answer. *openResult is the driver's answer
 * to the Open (0 accepted), for the caller to examine. Returns the Open
 * request's error, or the GSM Open write's result. When the GSM Open response
 * does not come, it shows "GSM Open response timed out", tears the connection
 * down (GSM Close, TpxClose: the device is then closed) and returns
 * TPX_WAIT_TIMEOUT (or the GSM Open write's own error). */
TPX_API uint32_t TpxOpen(TpxHandle device, uint32_t clientId, const char16_t* adapterName,
                         uint32_t* connectionId, uint32_t* openResult, TpxConnection* connection);

/* Writes GSM Close; the answer comes through the monitor thread. The fourth
 * argument is ignored. */
TPX_API uint32_t TpxGsmClose(TpxHandle device, uint32_t clientId, uint32_t connectionId, void* unused);

/* Sends Close (its own failure is not reported), stores the close result,
 * then TpxUnregister: returns the Unregister result, and the device is closed. */
TPX_API uint32_t TpxClose(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                          uint32_t* closeResult);

/* Sends one message (header then data, headerLength + dataLength at most
 * TPX_MAX_MESSAGE_BYTES). */
TPX_API uint32_t TpxWrite(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                          uint8_t messageType, uint16_t headerLength, uint16_t dataLength,
                          const void* message);

/* Waits without limit for the next message from the adapter; on success
 * *message is a malloc'd copy (header then data) the caller frees with free().
 * The monitor thread of an open connection already reads every message, so
 * this is for programs that run no connection of their own. */
TPX_API uint32_t TpxRead(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                         uint16_t* headerLength, uint16_t* dataLength, void** message);

/* What the monitor thread of a connection has done, for the program to ask
 * while the connection is open (until TpxClose or TpxUnregister). Each trace
 * record is written with one write of the whole record, so no reader sees a
 * torn record from the library. When a write fails or is short (disk full,
 * file size limit), the library cuts the file back to its last whole record,
 * writes no further records for this connection and keeps the error here. */
typedef struct TpxCaptureStatus {
    uint32_t running;          /* 1 while the monitor thread reads from the adapter */
    uint32_t readError;        /* the error of the read that ended it; 0 while running */
    uint32_t writeError;       /* errno of the failed record write; 0 while every record was written */
    uint32_t framesTooLong;    /* trace indications whose frame is longer than a record holds
                                  (280 octets): not written, and counted in recordsLost too */
    uint64_t recordsWritten;   /* whole records appended to the capture file */
    uint64_t recordsLost;      /* trace indications not written: after writing stopped, and
                                  frames too long for a record */
} TpxCaptureStatus;

/* Fills *status for the open connection; TPX_ERROR_INVALID_HANDLE when the
 * device has no such connection (never opened, or already closed),
 * TPX_ERROR_INVALID_PARAMETER for a null status. */
TPX_API uint32_t TpxGetCaptureStatus(TpxHandle device, uint32_t connectionId, TpxCaptureStatus* status);

/* ---- Line and link commands ------------------------------------------------ */
/* Each writes one 16-byte group-2 command (trace control: 20 bytes) and
 * returns TpxWrite's result. link: 1 or 2 (its low 8 bits are sent). */

TPX_API uint32_t TpxLineEnable(TpxHandle device, uint32_t clientId, uint32_t connectionId);
TPX_API uint32_t TpxLineDisable(TpxHandle device, uint32_t clientId, uint32_t connectionId);
/* Only the low 16 bits of value are sent. */
TPX_API uint32_t TpxLineSetConfig(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                                  uint32_t value);
/* Texts of at most 127 characters, together (with their paddings) at most 274
 * bytes; longer ones give TPX_ERROR_INVALID_PARAMETER and nothing is sent. */
TPX_API uint32_t TpxLinkSetConfig(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                                  const char* firstText, const char* secondText, uint32_t link);
TPX_API uint32_t TpxLineGetStatus(TpxHandle device, uint32_t clientId, uint32_t connectionId);
TPX_API uint32_t TpxLinkGetStatus(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                                  uint32_t link);
TPX_API uint32_t TpxLineTraceControlEnable(TpxHandle device, uint32_t clientId, uint32_t connectionId);
TPX_API uint32_t TpxLineTraceControlDisable(TpxHandle device, uint32_t clientId, uint32_t connectionId);
TPX_API uint32_t TpxLineGetStatistics(TpxHandle device, uint32_t clientId, uint32_t connectionId);
TPX_API uint32_t TpxLinkGetStatistics(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                                      uint32_t link);
TPX_API uint32_t TpxLineZeroStatistics(TpxHandle device, uint32_t clientId, uint32_t connectionId);
TPX_API uint32_t TpxLinkZeroStatistics(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                                       uint32_t link);

/* ---- State names and signature search -------------------------------------- */

/* Copy the name of a layer 2 (Q.921 states 1-8 as 0-7) or layer 3 link state
 * (low 8 bits of code count; others "State unknown") with its terminator into
 * the buffer *destination points to (TPX_STATE_TEXT_BYTES bytes); return the
 * bytes copied. *destination is not changed. Null pointers give 0. */
TPX_API uint32_t GetL2LinkStateString(uint32_t code, char** destination);
TPX_API uint32_t GetL3LinkStateString(uint32_t code, char** destination);

/* From byte 1024 of stream, finds the first 'S' and copies the line starting
 * there and up to two more (each with its newline and terminator, one after
 * the other) into destination (TPX_SIGNATURE_BYTES bytes), echoing each to
 * standard output as "  %s". Without one it writes "We did not find the
 * correct string!" to standard error and leaves destination alone. Flushes
 * standard output (never closes it) and returns 0; -1 for a null argument. */
TPX_API int SignatureSearch(FILE* stream, char* destination);

#ifdef __cplusplus
}
#endif

#endif /* LINEKIT_TPX_H */
