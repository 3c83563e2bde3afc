// The rules of the bus telegram tool and the address scan as plain functions: the read and
// write telegrams, their reply parsing, the scan's probe telegram and its verdict, the scan
// clock divisor and the from/to address lists.
//
// No Qt, no I/O, no state; any thread. Addresses are 8-bit with the read/write bit. The
// status of a reply is read as a decimal number; status characters that are not a number
// raise EConvertError (numbertext.h), as the runtime's conversion does.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The telegram tool shows and sends at most this many data bytes.
constexpr int kBusToolBytes = 16;

// What the telegram tool sends, as the settings record holds it.
struct BusTelegramParams {
    std::int32_t devAddr = 0;    // BusDevAddr
    std::int32_t subBytes = 0;   // BusSubBytes: 1 one byte, 2 two bytes, anything else none
    std::int32_t subAddr = 0;    // BusSubAddr
    std::int32_t dataBytes = 0;  // BusDataBytes
    std::array<std::uint8_t, kBusToolBytes> sendData{};
};

// The count a telegram carries: dataBytes kept within 0..16 (only a project file brings
// other values; the tool has no more than 16 send bytes and 16 receive fields).
std::int32_t BusTelegramCount(std::int32_t dataBytes);

// The read telegram: ",R" + count + "," + HH of the address, then "S"+HH or "W"+HHHH of
// the sub-address for an even address with a sub-address width (nothing for an odd one).
// Empty when nothing is to be sent: a count of 0, or an even address without sub-address.
std::string BusReadTelegram(const BusTelegramParams& p);
// True when a read is refused for want of a sub-address (even address, width none).
bool BusReadNeedsSubAddress(const BusTelegramParams& p);
// The write telegram: ",W" + count + "," + HH of the address, the sub-address part of the
// width, then "," + HH per send byte. Empty for an odd address (nothing is written).
std::string BusWriteTelegram(const BusTelegramParams& p);

// A reply checked against its echo (",r" or ",w").
enum class ReplyVerdict {
    NoEcho,  // not the echo: the transfer failed ("Verbindung prüfen")
    Ok,      // status 0
    NoAck,   // status 1: the device did not acknowledge
    Failed,  // any other status
};
// Throws EConvertError when the status characters are no decimal number.
ReplyVerdict BusReplyVerdict(const std::string& reply, char echo);
// The data fields of a read reply: the (up to) two characters after each comma behind the
// echo, as received; a comma at the very end starts no field. At most 16 fields.
std::vector<std::string> BusReplyFields(const std::string& reply);

// --- address scan ---

// The probe of address a: ",W00," + HH + ",".
std::string ScanProbeTelegram(std::int32_t address);
// "0T" + four upper-case hex digits of the divisor.
std::string ScanClockTelegram(std::uint32_t divisor);

enum class ProbeVerdict {
    Found,   // status 0: the device acknowledged
    Retry,   // status 8, or not a four-character ",w" reply: the try failed
    Absent,  // any other status: no device, no further try
};
// Throws EConvertError when the status characters of a ",w" reply are no decimal number.
ProbeVerdict ScanProbeVerdict(const std::string& reply);

// The scan clock divisor of a clock in Hz: systemClock / (5 * hz) - 1, unsigned. A clock
// of 0 counts as the built-in 100,000 Hz.
std::uint32_t ScanDivisor(std::int32_t systemClock, std::int32_t hz);

// The number of addresses from..to in steps of 2: (to + 2) div 2 - from div 2.
std::int32_t ScanAddressCount(std::int32_t from, std::int32_t to);
// Progress of address a in percent of the count (0 when the count is below 1).
std::int32_t ScanProgress(std::int32_t address, std::int32_t from, std::int32_t total);
// The addresses a scan probes: from, from + 2, ... while a <= to, within 0..255.
std::vector<std::int32_t> ScanAddresses(std::int32_t from, std::int32_t to);

// An address list of the scan: "0x"+HH for first, first + 2, ... up to last (within 0..255).
std::vector<std::string> ScanAddressItems(std::int32_t first, std::int32_t last);
// The index each list selects: the from-list (16..to) ScanFrom div 2 - 8, the to-list
// (from..238) ScanTo div 2 - ScanFrom div 2. -1 (nothing) when it falls outside the list.
int ScanFromIndex(std::int32_t scanFrom, std::int32_t scanTo);
int ScanToIndex(std::int32_t scanFrom, std::int32_t scanTo);

// The limits of the address lists.
constexpr std::int32_t kScanFirstAddress = 16;
constexpr std::int32_t kScanLastAddress = 238;
