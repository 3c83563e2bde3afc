// The command link: the program's only road to the RAFU adapter for command telegrams.
//
// It opens and closes the adapter port with a nesting count, so that a recording, the
// adapter identification and a tool can each open the link and close it again without
// closing it under one another; it sends a command with or without a reply; and it turns
// the program's 8-bit text into the OLE byte strings that cross into vl-com and back.
//
// Threads: ComOpen, ComClose and ComQuery run on the GUI thread; ComSend also runs on the
// capture thread (start and stop telegrams of a recording). The library calls of the link
// are serialised by one lock, so a telegram from the capture thread never interleaves with
// an exchange of the GUI thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "olestr.h"

// Open requests not yet closed; the port is open while it is above 0. Changed only by
// ComOpen and ComClose (GUI thread).
extern int32_t LinkOpenCount;

// The program runs without the adapter: nothing is sent. Set and cleared by the main
// window only; read by the link, the identification and the main window (any thread).
extern std::atomic<bool> OfflineMode;

// Opens the port when the count is 0; true = link open (count raised). An adapter that
// reports no block size counts as failure and the port is closed again at once.
bool ComOpen();
// Lowers the count; at 0 (also when it already was 0) the library closes the port.
void ComClose();
// Sends a command and returns the adapter's reply text, cut at its first zero byte;
// "" when nothing came or in OfflineMode (then nothing is sent).
std::string ComQuery(const std::string& command);
// Sends a command without a reply: 0 ACK, 21 NAK, 6 nothing came, VLCOM_PORT_GONE; 0 in
// OfflineMode.
int32_t ComSend(const std::string& command);
// True after a query or send found the port gone (the adapter was unplugged): a tool ends
// its operation at once instead of trying the next telegram. Cleared when ComOpen opens the
// port afresh.
bool ComPortGone();

// Library boundary helpers (also used by the tests).
// A new OLE byte string holding exactly the bytes of text (length 0 for "", never null
// unless memory ran out). The caller owns it.
BSTR oleFromText(const std::string& text);
// The bytes of s up to its first zero byte (all of them when it has none); frees s.
// The null handle gives "".
std::string takeOleReply(BSTR s);
