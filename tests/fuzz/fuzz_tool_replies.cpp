// The tools' reply parsers over any reply, as the tools read them: the bus telegram tool's
// verdict and data fields, the address scan's probe verdict, the memory monitor's status and
// the bytes of a read reply. The three tools read one status rule and must agree on it; a
// reply built from bytes parses back to exactly those bytes; and a telegram the tools build,
// carried out on a simulated RAM, reads back what it wrote.
//
// Input: flags, the telegram parameters (device, width, sub-address, count, 16 bytes, a
// memory offset), then the raw reply.
#include <cstring>
#include <string>
#include <vector>

#include "bustelegrams.h"
#include "fuzzinput.h"
#include "i2cbus.h"
#include "memorylogic.h"
#include "numbertext.h"

namespace {

// The status rule every tool shares: "," + echo, then characters 3 and 4 as a number.
// MemNoEcho for no echo; throws where the runtime's conversion throws.
int sharedStatus(const std::string& reply, char echo) {
    return memReplyStatus(reply, echo);
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string hex2(unsigned v) {
    char b[4];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

// Positions of the commas that start a data field: from `first` up to the last-but-one character.
std::vector<size_t> fieldCommas(const std::string& reply, size_t first) {
    std::vector<size_t> out;
    for (size_t i = first; i + 1 < reply.size(); ++i)
        if (reply[i] == ',') out.push_back(i);
    return out;
}

void checkVerdicts(const std::string& reply) {
    for (char echo : {'r', 'w'}) {
        int status = 0;
        bool threw = false;
        try {
            status = sharedStatus(reply, echo);
        } catch (const EConvertError&) {
            threw = true;
        }
        const bool echoed = reply.size() >= 2 && reply[0] == ',' && reply[1] == echo;
        FUZZ_CHECK(threw || echoed == (status != MemNoEcho));
        ReplyVerdict v{};
        bool busThrew = false;
        try {
            v = BusReplyVerdict(reply, echo);
        } catch (const EConvertError&) {
            busThrew = true;
        }
        FUZZ_CHECK(busThrew == threw);
        if (!threw)
            FUZZ_CHECK(v == (status == MemNoEcho ? ReplyVerdict::NoEcho
                             : status == 0       ? ReplyVerdict::Ok
                             : status == 1       ? ReplyVerdict::NoAck
                                                 : ReplyVerdict::Failed));
        // Two decimal digits always convert.
        if (echoed && reply.size() >= 4 && reply[2] >= '0' && reply[2] <= '9' && reply[3] >= '0' &&
            reply[3] <= '9')
            FUZZ_CHECK(!threw && status == (reply[2] - '0') * 10 + reply[3] - '0');
    }

    // The probe: only a four-character ",w" reply has a status; 8 and anything odd retry.
    ProbeVerdict pv{};
    bool threw = false;
    try {
        pv = ScanProbeVerdict(reply);
    } catch (const EConvertError&) {
        threw = true;
    }
    if (reply.size() != 4 || reply.compare(0, 2, ",w") != 0) {
        FUZZ_CHECK(!threw && pv == ProbeVerdict::Retry);
    } else {
        int status = 0;
        bool sharedThrew = false;
        try {
            status = sharedStatus(reply, 'w');
        } catch (const EConvertError&) {
            sharedThrew = true;
        }
        FUZZ_CHECK(threw == sharedThrew);
        if (!threw)
            FUZZ_CHECK(pv == (status == 0   ? ProbeVerdict::Found
                              : status == 8 ? ProbeVerdict::Retry
                                            : ProbeVerdict::Absent));
    }
}

void checkFields(const std::string& reply) {
    // The bus tool: up to 16 fields, the (up to) two characters after each comma behind the echo.
    const std::vector<std::string> fields = BusReplyFields(reply);
    const std::vector<size_t> commas = fieldCommas(reply, 2);
    FUZZ_CHECK(fields.size() == std::min<size_t>(commas.size(), kBusToolBytes));
    for (size_t k = 0; k < fields.size(); ++k) FUZZ_CHECK(fields[k] == reply.substr(commas[k] + 1, 2));
}

// The memory monitor's read reply for n bytes into buffers of exactly n bytes.
void checkStore(const std::string& reply, int n, uint8_t seed) {
    std::vector<uint8_t> data(static_cast<size_t>(n)), state(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        data[size_t(i)] = static_cast<uint8_t>(seed + i);
        state[size_t(i)] = MemChanged;
    }
    const std::vector<uint8_t> before = data;
    bool threw = false;
    try {
        memStoreReadReply(reply, n, data.data(), state.data());
    } catch (const EConvertError&) {
        threw = true;
    }
    const std::vector<size_t> commas = fieldCommas(reply, 1);
    bool missingSeen = false;
    for (int i = 0; i < n; ++i) {
        const size_t k = size_t(i);
        if (state[k] == MemChanged) {  // not reached: only behind the field that did not convert
            FUZZ_CHECK(threw && data[k] == before[k]);
            continue;
        }
        FUZZ_CHECK(state[k] == MemRead || state[k] == MemMissing);
        if (state[k] == MemMissing) {
            missingSeen = true;
            FUZZ_CHECK(data[k] == before[k] && k >= commas.size());
            continue;
        }
        FUZZ_CHECK(!missingSeen && k < commas.size());
        const std::string field = reply.substr(commas[k] + 1, 2);
        FUZZ_CHECK(isHex(field[0]) && (field.size() == 1 || isHex(field[1])));
        FUZZ_CHECK(data[k] == static_cast<uint8_t>(std::stoul(field, nullptr, 16)));
    }
}

// A reply built from a status and bytes parses back to them in every tool.
void checkBuilt(kevofuzz::FuzzInput& in) {
    const int status = in.byte() % 100;
    const std::string bytes = in.bytes(in.byte() % 17u);
    const int k = static_cast<int>(bytes.size());
    char st[4];
    std::snprintf(st, sizeof st, "%02d", status);
    std::string read = std::string(",r") + st;
    for (unsigned char b : bytes) read += "," + hex2(b);
    FUZZ_CHECK(sharedStatus(read, 'r') == status);
    if (status != 0) return;
    const std::vector<std::string> fields = BusReplyFields(read);
    FUZZ_CHECK(fields.size() == bytes.size());
    for (size_t i = 0; i < fields.size(); ++i) FUZZ_CHECK(fields[i] == hex2(uint8_t(bytes[i])));
    const int n = k + in.byte() % 4;
    std::vector<uint8_t> data(size_t(n) + 1, 0x5A), state(size_t(n) + 1, MemNeverRead);
    if (n > 0) memStoreReadReply(read, n, data.data(), state.data());
    for (int i = 0; i < n; ++i) {
        FUZZ_CHECK(state[size_t(i)] == (i < k ? MemRead : MemMissing));
        FUZZ_CHECK(data[size_t(i)] == (i < k ? uint8_t(bytes[size_t(i)]) : 0x5A));
    }
    FUZZ_CHECK(state[size_t(n)] == MemNeverRead && data[size_t(n)] == 0x5A);  // nothing behind n
}

// The telegrams the tools build, carried out on a simulated RAM, read back what they wrote.
void checkTelegrams(kevofuzz::FuzzInput& in) {
    BusTelegramParams p;
    p.devAddr = 0x10 + 2 * (in.byte() % 112);  // an even address of the tool's range
    p.subBytes = in.byte() % 4;
    p.subAddr = static_cast<int32_t>(in.u32());
    p.dataBytes = static_cast<int8_t>(in.byte());  // a project file may hold any count
    for (auto& b : p.sendData) b = in.byte();
    const bool two = p.subBytes == 2;
    rafusim::I2cBus bus;
    bus.addDevice(uint8_t(p.devAddr), {rafusim::DeviceKind::Ram, two ? 65536 : 256, 1, two ? 2 : 1, 0});

    const int count = BusTelegramCount(p.dataBytes);
    FUZZ_CHECK(count >= 0 && count <= kBusToolBytes);
    const std::string write = BusWriteTelegram(p);
    FUZZ_CHECK(BusReplyVerdict(bus.execute(write), 'w') == ReplyVerdict::Ok);
    const std::string read = BusReadTelegram(p);
    FUZZ_CHECK(read.empty() == (count == 0 || BusReadNeedsSubAddress(p)));
    if (!read.empty()) {
        const std::string reply = bus.execute(read);
        FUZZ_CHECK(BusReplyVerdict(reply, 'r') == ReplyVerdict::Ok);
        const std::vector<std::string> fields = BusReplyFields(reply);
        FUZZ_CHECK(fields.size() == size_t(count));
        for (int i = 0; i < count; ++i) FUZZ_CHECK(fields[size_t(i)] == hex2(p.sendData[size_t(i)]));
    }
    // An odd (read) address writes nothing and reads without a sub-address.
    BusTelegramParams odd = p;
    odd.devAddr |= 1;
    FUZZ_CHECK(BusWriteTelegram(odd).empty());
    FUZZ_CHECK(BusReadNeedsSubAddress(odd) == false);

    // The memory monitor: n bytes at offset o, written and read back in chunks.
    const int n = 1 + in.byte() % 16;
    const int offset = static_cast<int>(in.u16() % (two ? 65536u : 256u));
    const std::string part = memAddressPart(p.devAddr, two, offset);
    std::vector<uint8_t> data(p.sendData.begin(), p.sendData.begin() + n), state(size_t(n), MemChanged);
    FUZZ_CHECK(memReplyStatus(bus.execute(memWriteTelegram(part, data.data(), n)), 'w') == 0);
    std::vector<uint8_t> back(size_t(n), 0), backState(size_t(n), MemNeverRead);
    const std::string reply = bus.execute(memReadTelegram(n, part));
    FUZZ_CHECK(memReplyStatus(reply, 'r') == 0);
    memStoreReadReply(reply, n, back.data(), backState.data());
    FUZZ_CHECK(back == data);
    FUZZ_CHECK(backState == std::vector<uint8_t>(size_t(n), MemRead));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kevofuzz::FuzzInput in(data, size);
    const uint8_t flags = in.byte();
    if (flags & 1) {
        checkBuilt(in);
        checkTelegrams(in);
        return 0;
    }
    const int n = 1 + (flags >> 1) % 20;
    const std::string reply = in.rest();
    checkVerdicts(reply);
    checkFields(reply);
    checkStore(reply, n, flags);
    return 0;
}
