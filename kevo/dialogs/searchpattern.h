// The search dialog's pattern: the telegram the user describes, written in the trace's own
// line format ("»A0 10»A1 3F 40«"), so that a plain text search finds it. No Qt; any thread.
#pragma once

#include <string>

// The dialog's fields as they stand: bare upper-case hex digits, "0x" implied.
struct SearchFields {
    std::string DevAdr;     // LE_DevAdr
    std::string SubAdr;     // LE_SubAdr
    bool Read = false;      // RG_RdWr at "gelesen"
    std::string Bytes[5];   // LE_Byte1 .. LE_Byte5
    bool StopCond = false;  // CB_StopCond
};

// The pattern, UTF-8 ("»" and "«" as in the trace); empty when nothing is given.
//  - a device address starts it with "»" + its text; with an even (write) address the
//    sub-address follows after a blank, and with "gelesen" the read address (address + 1)
//    after a "»";
//  - the data bytes follow, each after a blank, up to the first empty field; they are used
//    with or without an address, so a pattern may begin with a blank;
//  - "«" ends it when the stop mark is asked for.
// A sub-address of more than two digits is a two-byte one: the trace shows its bytes as two
// pairs, so it enters the pattern as "HH HH".
std::string BuildSearchPattern(const SearchFields& fields);
