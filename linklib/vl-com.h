// vl-com: the serial link to the RAFU adapter.
//
// Linking: -lvl-com -lolestr (or `pkg-config --cflags --libs vl-com`); the OLE string
// functions of olestr.h come from libolestr.
//
// Conventions of every export:
//  - C linkage; strings are OLE byte strings (olestr.h), the null handle is the empty string.
//  - A string argument is a pointer to the caller's handle. Where an export assigns to it
//    (VlCOMPortSetup, VlCOMSendTelegram, VlCOMAntwortTelegram) it frees the caller's old
//    string with SysFreeString and stores a new one, which the caller then owns.
//  - An integer argument is a pointer to the caller's int32, read and, where stated, written.
//  - A returned string is new and owned by the caller, who frees it with SysFreeString.
//  - Times are in milliseconds.
//
// Threads: any export may be called from any thread. One export runs at a time: a second
// caller waits until the first returns (a telegram exchange up to 765 plus the answer wait,
// plus up to 2000 per stalled write; an open or close up to 250 more; a binary transfer as
// long as its blocks take). Not serialised: asGetRxBinBuf, which never waits (it returns the
// empty string while the receive thread appends), VlCOMVersion, and the dialog of
// VlCOMPortSetup (only its hand-over of the choice waits). One call is one exchange: VlCOMAntwortTelegram
// sends and waits as one step, so two threads using it at once each get their own answer, and an open on one
// thread while another sends waits for that send. VlCOMSendTelegram followed by
// VlCOMTelegramEmpfang is two steps: a telegram of another thread in between starts a new
// exchange, and the fetch then gets nothing of the first telegram (it may get the other
// telegram's answer that its own wait missed). The library runs one receive thread of its
// own per open port; it is the only reader of the port.
//
// Ports are named "COM1".."COM15" (the setup dialog lists these; any "COMn" up to 255, in
// any letter case, works as a link). A name is a symbolic link of that name in the port
// folder, pointing at the device: the folder is $VLCOM_PORT_DIR, else
// $XDG_CONFIG_HOME/vl-com/ports, else ~/.config/vl-com/ports. Without a link, COM1..COM4 are
// /dev/ttyS0..3, COM5..COM8 /dev/ttyUSB0..3, COM9..COM12 /dev/ttyACM0..3; COM13..COM15 exist
// only as links. A link always wins. A device the user may not open counts as in use.
//
// What a close keeps: the chosen port and rate, the block size of the last query, and the
// binary receive buffer: data collected on one port is handed out by asGetRxBinBuf after a
// later open, of that port or another (VlCOMBinEmpfang discards it). Answers do not outlive
// an open: it drops whatever waits in the port's input and starts a new exchange.
//
// Late answers: the adapter works through the telegrams in order and answers each one before
// it acknowledges the next. So an answer that arrives before the adapter has acknowledged the
// last telegram sent is an earlier telegram's (one that came after its wait, or one nobody
// fetched): it is never returned. No export waits for such an answer, and none is returned
// for a telegram the adapter did not acknowledge. This holds as long as the adapter
// acknowledges within the send's attempts (three of 255 each): one that acknowledges later
// gets the telegram up to three times and acknowledges and answers each copy, and a telegram
// sent before those have all come may take one of them for its own.
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
// written back with the user's choice, which the next open uses. The dialog needs the
// program's QApplication (not only a QCoreApplication) and runs on its thread; called
// without one, or from another thread, it shows nothing and hands the values back unchanged.
VLCOM_API void VlCOMPortSetup(BSTR* port, int32_t* baud);
// Stores port and baud for the next open (whatever the test gives) and test-opens the port:
// 1 usable, 0 not (no such port, in use, also by this library, not a device, not allowed).
VLCOM_API int32_t VlCOMPortSel(BSTR* port, int32_t* baud);
// 0 open failed, 1 open without block size, otherwise the adapter's block size. A fresh open
// empties the port's input first, then asks the block size as VlCOMAntwortTelegram("%");
// on a port already open it only asks again (0 when no size came).
VLCOM_API int32_t VlCOMOpenPort(void);
// Ends the receive thread (a line that never falls quiet is cut off after 250) and closes.
VLCOM_API void VlCOMClosePort(void);
// Result of VlCOMSendTelegram when a write to the open port failed with an error or a
// hang-up: the device is gone (unplugged). Every later send gives it at once, without
// writing, until the port is closed. A device that only takes the bytes slowly is not gone:
// a write it does not take within 2000 ends that send with 6 (21 after a NAK of an earlier
// attempt), and the next send tries again.
#define VLCOM_PORT_GONE (-1)

// Sends a text telegram: 0 ACK, 21 NAK, 6 nothing came, VLCOM_PORT_GONE. *payload becomes
// the frame. Up to 3 attempts, each a write and up to 255 for the acknowledge: at most 765
// plus the writes. Starts a new exchange: from here on, no answer that arrived before this
// telegram's acknowledge is returned (see late answers above). It adds no wait of its own for
// an earlier telegram's answer.
VLCOM_API int32_t VlCOMSendTelegram(BSTR* payload);
// Sends binary data in blocks of the block size: 0 sent, 1 three NAKs, 2 no ACK or NAK,
// 3 adapter not ready (no DC1 within 250, or no block size known). Each block waits for the
// adapter's DC1, then up to 256 for its acknowledge; a NAK sends it again (three times).
VLCOM_API int32_t VlCOMSendBIN(BSTR* data);
VLCOM_API void VlCOMQuitTxBin(void);
// The answer to the last telegram sent: waits up to 1,000,000 / rate + 5 rounds of 1
// (109 at 9600 baud, 6 at 921600; a rate of 0 or below waits as 9600, never more than 10000
// rounds), or empty. An answer that came before that telegram's acknowledge is dropped, and
// of two answers not yet taken only the newer is returned. Called again, it still takes the
// late answer of that telegram until a new telegram is sent. Before any telegram, it
// returns whatever telegram the adapter sent.
VLCOM_API BSTR VlCOMTelegramEmpfang(void);
// VlCOMSendTelegram, then, after an ACK, the wait of VlCOMTelegramEmpfang, as one step
// (empty on any failure). An answer that comes after this wait is never returned for a later
// telegram; VlCOMTelegramEmpfang may still fetch it until the next telegram is sent.
VLCOM_API BSTR VlCOMAntwortTelegram(BSTR* payload);
// Requests *count bytes of binary data from the adapter, block by block, waiting up to 2 per
// byte of block size for each; empty when a block did not come (or no block size is known).
// Empties the binary receive buffer first; a block that comes after its wait stays in the
// buffer for asGetRxBinBuf, until the next VlCOMBinEmpfang discards it.
VLCOM_API BSTR VlCOMBinEmpfang(int32_t* count);
// Everything collected in the binary receive buffer, or empty.
VLCOM_API BSTR asGetRxBinBuf(void);
VLCOM_API void VlCOMQuitRxBin(void);

#ifdef __cplusplus
}
#endif
