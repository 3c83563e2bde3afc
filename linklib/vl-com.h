// vl-com: the serial link to the RAFU adapter.
//
// Conventions of every export:
//  - C linkage; strings are OLE byte strings (olestr.h), the null handle is the empty string.
//  - A string argument is a pointer to the caller's handle. Where an export assigns to it
//    (VlCOMPortSetup, VlCOMSendTelegram, VlCOMAntwortTelegram) it frees the caller's old
//    string with SysFreeString and stores a new one, which the caller then owns.
//  - An integer argument is a pointer to the caller's int32, read and, where stated, written.
//  - A returned string is new and owned by the caller, who frees it with SysFreeString.
//
// Threads: the program calls the port exports (select, setup, open, close) from one thread
// (its GUI thread). The library runs one receive thread of its own per open port; it is
// the only reader of the port. Times are in milliseconds.
#pragma once

#include <stdint.h>

#include "olestr.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VLCOM_BUILDING_LIBRARY) && defined(__GNUC__)
#define VLCOM_API __attribute__((visibility("default")))
#else
#define VLCOM_API
#endif

// "VL-COM[1.00]" directly followed by a one-line rights notice.
VLCOM_API BSTR VlCOMVersion(void);
// Modal port and baud-rate dialog; both arguments are read for the preselection and
// written back with the user's choice.
VLCOM_API void VlCOMPortSetup(BSTR* port, int32_t* baud);
// Stores port and baud for the next open and test-opens the port: 1 usable, 0 not.
VLCOM_API int32_t VlCOMPortSel(BSTR* port, int32_t* baud);
// 0 open failed, 1 open without block size, otherwise the adapter's block size.
VLCOM_API int32_t VlCOMOpenPort(void);
VLCOM_API void VlCOMClosePort(void);
// Result of VlCOMSendTelegram when a write to the open port failed: the device is gone
// (unplugged). Every later send gives it at once, until the port is closed.
#define VLCOM_PORT_GONE (-1)

// Sends a text telegram: 0 ACK, 21 NAK, 6 nothing came, VLCOM_PORT_GONE. *payload becomes
// the frame. A new telegram starts a new exchange: an answer that came before it and was
// not taken is dropped, and so is the late answer of an earlier telegram whose wait ended
// empty (the send first lets it come in, up to a second after that wait).
VLCOM_API int32_t VlCOMSendTelegram(BSTR* payload);
// Sends binary data in blocks: 0 sent, 1 three NAKs, 2 no ACK or NAK, 3 adapter not ready.
VLCOM_API int32_t VlCOMSendBIN(BSTR* data);
VLCOM_API void VlCOMQuitTxBin(void);
// The payload of the next received telegram, or empty after the answer wait. Called again,
// it still takes a late answer, as long as no new telegram was sent.
VLCOM_API BSTR VlCOMTelegramEmpfang(void);
// VlCOMSendTelegram, then the answer as VlCOMTelegramEmpfang gives it (empty on failure).
// An answer that comes after this wait is never returned for a later telegram.
VLCOM_API BSTR VlCOMAntwortTelegram(BSTR* payload);
// Requests *count bytes of binary data from the adapter.
VLCOM_API BSTR VlCOMBinEmpfang(int32_t* count);
// Everything collected in the binary receive buffer, or empty.
VLCOM_API BSTR asGetRxBinBuf(void);
VLCOM_API void VlCOMQuitRxBin(void);

#ifdef __cplusplus
}
#endif
