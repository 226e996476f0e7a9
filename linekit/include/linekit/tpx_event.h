/*
 * Events for C programs of the Tpx API (liblinekit.so).
 *
 * TpxOpen needs two manual-reset events in its TpxResponseBlock: the
 * response event, which the library's monitor thread sets when a response
 * is stored, and the acknowledge event, which the program sets when it has
 * read the response. The acknowledge event must be the event named
 * TPX_DRIVER_EVENT_NAME ("MarloDriverEvent"), because the library opens it by
 * that name; the program's own is conventionally TPX_APP_EVENT_NAME
 * ("MarloAppEvent"). These functions make and use such events; they are the
 * same events the library itself uses, so a handle from here goes straight
 * into responseEvent and ackEvent.
 *
 * Ownership: every handle that TpxCreateEvent or TpxOpenEvent returns belongs
 * to the caller, who closes it with TpxCloseEvent once no call uses it any
 * more (for the events of a connection: after TpxClose has returned). The
 * library never closes a caller's handle. A named event lives while any
 * handle to it is open; creating an existing name opens that event instead.
 * A closed or unknown handle is refused with TPX_ERROR_INVALID_HANDLE, never
 * used.
 *
 * Every function returns 0 on success or an error code of tpx.h. All are
 * safe to call from any thread (events are the way threads meet) but not
 * from a signal handler. This header compiles as C89 and as C++.
 */
#ifndef LINEKIT_TPX_EVENT_H
#define LINEKIT_TPX_EVENT_H

#include "linekit/tpx.h"

#ifdef __cplusplus
extern "C" {
#endif

#define TPX_APP_EVENT_NAME "MarloAppEvent"       /* the program's response event */
#define TPX_DRIVER_EVENT_NAME "MarloDriverEvent" /* the acknowledge event TpxOpen requires */
#define TPX_WAIT_OBJECT_0 0u                     /* TpxWaitForEvent: the event is set */
#define TPX_INFINITE 0xFFFFFFFFu                 /* TpxWaitForEvent: wait without limit */

/* Creates a manual-reset event, set or clear as initiallySet says, or opens
 * the existing event of that name (then initiallySet is ignored). A null or
 * empty name makes an unnamed event. *event receives the new handle (NULL
 * on failure). TPX_ERROR_INVALID_PARAMETER for a null event pointer. */
TPX_API uint32_t TpxCreateEvent(const char* name, int initiallySet, TpxHandle* event);

/* Opens the existing event of that name. TPX_ERROR_FILE_NOT_FOUND when no
 * event has that name; TPX_ERROR_INVALID_PARAMETER for a null or empty name
 * or a null event pointer. */
TPX_API uint32_t TpxOpenEvent(const char* name, TpxHandle* event);

/* Sets or clears the event: a manual-reset event stays set until reset, and
 * every waiter wakes. */
TPX_API uint32_t TpxSetEvent(TpxHandle event);
TPX_API uint32_t TpxResetEvent(TpxHandle event);

/* Waits until the event is set, for at most milliseconds (TPX_INFINITE: no
 * limit). Returns TPX_WAIT_OBJECT_0 when it is set (the wait does not reset
 * it), TPX_WAIT_TIMEOUT when the time ran out, TPX_ERROR_INVALID_HANDLE for a
 * closed or unknown handle. */
TPX_API uint32_t TpxWaitForEvent(TpxHandle event, uint32_t milliseconds);

/* Closes the handle; the handle is invalid afterwards. */
TPX_API uint32_t TpxCloseEvent(TpxHandle event);

#ifdef __cplusplus
}
#endif

#endif /* LINEKIT_TPX_EVENT_H */
