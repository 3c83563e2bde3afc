#include "bustelegrams.h"

#include <algorithm>
#include <cstdio>

#include "numbertext.h"

namespace {

std::string hexDigits(std::uint32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, value);
    return buf;
}

std::string hex2(std::int32_t value) {
    return hexDigits(static_cast<std::uint32_t>(value), 2);
}

// "S"+HH or "W"+HHHH of the sub-address for the width; "" for none.
std::string subAddressPart(const BusTelegramParams& p) {
    // Only the bytes the width names go on the wire (a project file may hold a larger value).
    if (p.subBytes == 1) return "S" + hex2(p.subAddr & 0xFF);
    if (p.subBytes == 2) return "W" + hexDigits(static_cast<std::uint32_t>(p.subAddr) & 0xFFFFu, 4);
    return {};
}

bool hasSubAddress(const BusTelegramParams& p) {
    return p.subBytes == 1 || p.subBytes == 2;
}

// The status characters (third and fourth) as a decimal number.
std::int32_t replyStatus(const std::string& reply) {
    return StrToInt(reply.substr(2, 2));
}

}  // namespace

std::int32_t BusTelegramCount(std::int32_t dataBytes) {
    return std::clamp(dataBytes, 0, kBusToolBytes);
}

bool BusReadNeedsSubAddress(const BusTelegramParams& p) {
    return p.devAddr % 2 == 0 && !hasSubAddress(p);
}

std::string BusReadTelegram(const BusTelegramParams& p) {
    const std::int32_t count = BusTelegramCount(p.dataBytes);
    if (count == 0 || BusReadNeedsSubAddress(p)) return {};
    std::string t = ",R" + hexDigits(static_cast<std::uint32_t>(count), 1) + "," + hex2(p.devAddr & 0xFF);
    if (p.devAddr % 2 == 0) t += subAddressPart(p);
    return t;
}

std::string BusWriteTelegram(const BusTelegramParams& p) {
    if (p.devAddr % 2 != 0) return {};
    const std::int32_t count = BusTelegramCount(p.dataBytes);
    std::string t = ",W" + hexDigits(static_cast<std::uint32_t>(count), 1) + "," + hex2(p.devAddr & 0xFF);
    t += subAddressPart(p);
    for (std::int32_t i = 0; i < count; ++i) t += "," + hex2(p.sendData[static_cast<size_t>(i)]);
    return t;
}

ReplyVerdict BusReplyVerdict(const std::string& reply, char echo) {
    if (reply.size() < 2 || reply[0] != ',' || reply[1] != echo) return ReplyVerdict::NoEcho;
    const std::int32_t status = replyStatus(reply);
    if (status == 0) return ReplyVerdict::Ok;
    return status == 1 ? ReplyVerdict::NoAck : ReplyVerdict::Failed;
}

std::vector<std::string> BusReplyFields(const std::string& reply) {
    std::vector<std::string> fields;
    for (size_t i = 2; i + 1 < reply.size() && fields.size() < size_t(kBusToolBytes); ++i)
        if (reply[i] == ',') fields.push_back(reply.substr(i + 1, 2));
    return fields;
}

std::string ScanProbeTelegram(std::int32_t address) {
    return ",W00," + hex2(address) + ",";
}

std::string ScanClockTelegram(std::uint32_t divisor) {
    return "0T" + hexDigits(divisor & 0xFFFFu, 4);
}

ProbeVerdict ScanProbeVerdict(const std::string& reply) {
    if (reply.size() != 4 || reply[0] != ',' || reply[1] != 'w') return ProbeVerdict::Retry;
    const std::int32_t status = replyStatus(reply);
    if (status == 0) return ProbeVerdict::Found;
    return status == 8 ? ProbeVerdict::Retry : ProbeVerdict::Absent;
}

std::uint32_t ScanDivisor(std::int32_t systemClock, std::int32_t hz) {
    const std::uint32_t f = hz == 0 ? 100000u : static_cast<std::uint32_t>(hz);
    return static_cast<std::uint32_t>(systemClock) / (5u * f) - 1u;
}

std::int32_t ScanAddressCount(std::int32_t from, std::int32_t to) {
    return static_cast<std::int32_t>((std::int64_t(to) + 2) / 2 - from / 2);
}

std::int32_t ScanProgress(std::int32_t address, std::int32_t from, std::int32_t total) {
    if (total < 1) return 0;
    return static_cast<std::int32_t>((std::int64_t(address / 2) - from / 2) * 100 / total);
}

std::vector<std::int32_t> ScanAddresses(std::int32_t from, std::int32_t to) {
    std::vector<std::int32_t> out;
    // Only byte addresses exist; a range from a damaged project file must not run on for ever.
    std::int64_t a = from;
    if (a < 0) a += (-a + 1) / 2 * 2;  // the first address of the range's parity at or above 0
    for (; a <= to && a <= 255; a += 2) out.push_back(static_cast<std::int32_t>(a));
    return out;
}

std::vector<std::string> ScanAddressItems(std::int32_t first, std::int32_t last) {
    std::vector<std::string> items;
    for (std::int32_t a : ScanAddresses(first, last)) items.push_back("0x" + hex2(a));
    return items;
}

int ScanFromIndex(std::int32_t scanFrom, std::int32_t scanTo) {
    const int index = scanFrom / 2 - 8;
    const int count = static_cast<int>(ScanAddresses(kScanFirstAddress, scanTo).size());
    return index >= 0 && index < count ? index : -1;
}

int ScanToIndex(std::int32_t scanFrom, std::int32_t scanTo) {
    const int index = scanTo / 2 - scanFrom / 2;
    const int count = static_cast<int>(ScanAddresses(scanFrom, kScanLastAddress).size());
    return index >= 0 && index < count ? index : -1;
}
