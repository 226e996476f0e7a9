/*
 * line_status: a C program of the Tpx API. It registers with the library,
 * opens the first adapter, asks for the line status, prints it and closes
 * the adapter again. It needs nothing but the installed headers and
 * liblinekit.so:
 *
 *   cc line_status.c $(pkg-config --cflags --libs linekit)
 *
 * Exit status 0 when the card answered, 1 when anything failed (the reason
 * goes to standard error).
 */
#include <stdio.h>
#include <string.h>

#include "linekit/tpx.h"
#include "linekit/tpx_event.h"

/* One response as the program keeps it: copied out before acknowledging. */
typedef struct Response {
    uint32_t result;             /* the adapter's result word, 0 = done */
    unsigned char record[64];    /* the data after the header */
    size_t recordLength;
} Response;

static uint32_t ReadU32(const unsigned char* bytes) {
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

/* The program's side of the handshake: wait for the response event, copy
 * the response, reset the response event and set the acknowledge event
 * (after which the library frees the message). 0, or why it failed. */
static uint32_t AwaitResponse(TpxResponseBlock* block, Response* response) {
    const unsigned char* message;
    uint32_t waited = TpxWaitForEvent(block->responseEvent, TPX_RESPONSE_TIMEOUT_MS);
    if (waited != TPX_WAIT_OBJECT_0) return waited;
    message = (const unsigned char*)block->message;
    if (message == NULL || block->headerLength < TPX_HEADER_RESULT_OFFSET + 4) {
        response->result = TPX_ERROR_INVALID_DATA;
        response->recordLength = 0;
    } else {
        response->result = ReadU32(message + TPX_HEADER_RESULT_OFFSET);
        response->recordLength = block->dataLength < sizeof response->record ? block->dataLength
                                                                              : sizeof response->record;
        memcpy(response->record, message + block->headerLength, response->recordLength);
    }
    TpxResetEvent(block->responseEvent);
    TpxSetEvent(block->ackEvent);
    return 0;
}

static int Fail(const char* what, uint32_t code) {
    fprintf(stderr, "line_status: %s %lu\n", what, (unsigned long)code);
    return 1;
}

/* Everything between TpxOpen and GSM Close: the line status query. */
static int PrintLineStatus(TpxConnection* connection) {
    Response response;
    uint32_t code = TpxLineGetStatus(connection->device, connection->clientId, connection->connectionId);
    if (code != 0) return Fail("TpxLineGetStatus", code);
    code = AwaitResponse(connection->response, &response);
    if (code != 0) return Fail("no line status response:", code);
    if (response.result != 0) return Fail("line status refused:", response.result);
    if (response.recordLength < TPX_LINE_STATUS_BYTES) return Fail("short line status record:", 0);
    printf("line state %u, receiving signal %u, transmission signal %u\n",
           (unsigned)response.record[TPX_LINE_STATUS_STATE], (unsigned)response.record[TPX_LINE_STATUS_RX],
           (unsigned)response.record[TPX_LINE_STATUS_TX]);
    return 0;
}

int main(void) {
    TpxHandle appEvent = NULL;
    TpxHandle driverEvent = NULL;
    TpxResponseBlock block;
    TpxConnection connection;
    char16_t names[TPX_MAX_ADAPTERS][TPX_ADAPTER_NAME_CHARS];
    uint32_t adapterCount = 0, connectionId = 0, openResult = 0, closeResult = 0, code;
    int status = 1;
    Response closing;

    memset(&block, 0, sizeof block);
    memset(&connection, 0, sizeof connection);
    if ((code = TpxCreateEvent(TPX_APP_EVENT_NAME, 0, &appEvent)) != 0) return Fail("TpxCreateEvent", code);
    if ((code = TpxCreateEvent(TPX_DRIVER_EVENT_NAME, 0, &driverEvent)) != 0) {
        TpxCloseEvent(appEvent);
        return Fail("TpxCreateEvent", code);
    }
    block.captureFile = -1; /* no trace log file: trace indications are dropped */
    block.responseEvent = appEvent;
    block.ackEvent = driverEvent;
    connection.response = &block;

    code = TpxRegister(&connection.device, &connection.clientId, &adapterCount, names);
    if (code != 0) {
        Fail("TpxRegister", code);
        if (connection.device != NULL) TpxUnregister(connection.device, connection.clientId);
    } else if (adapterCount == 0) {
        Fail("no adapter:", 0);
        TpxUnregister(connection.device, connection.clientId);
    } else if ((code = TpxOpen(connection.device, connection.clientId, names[0], &connectionId, &openResult,
                               &connection)) != 0) {
        Fail("TpxOpen", code);
        /* Refused as a stale handle when the library has closed it already. */
        TpxUnregister(connection.device, connection.clientId);
    } else if (openResult != 0) {
        Fail("open refused:", openResult);
        TpxClose(connection.device, connection.clientId, connectionId, &closeResult);
    } else {
        status = PrintLineStatus(&connection);
        code = TpxGsmClose(connection.device, connection.clientId, connectionId, NULL);
        if (code != 0 || AwaitResponse(&block, &closing) != 0 || closing.result != 0) status = Fail("GSM Close", code);
        code = TpxClose(connection.device, connection.clientId, connectionId, &closeResult);
        if (code != 0 || closeResult != 0) status = Fail("TpxClose", code != 0 ? code : closeResult);
    }
    /* The connection has ended (TpxClose waited for its monitor thread), so
     * nobody uses the events any more. */
    TpxCloseEvent(driverEvent);
    TpxCloseEvent(appEvent);
    return status;
}
