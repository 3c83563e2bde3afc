// The adapter's identification replies and the block-size answer as the program reads them,
// over any bytes: the clock option, the short serial number, the block size, and the reply
// text as it comes out of the library's byte string.
//
// Input: the PLL mode held before (one byte), a number (two bytes), then the reply.
#include <string>

#include "deviceinfo.h"
#include "fuzzinput.h"
#include "linkproto.h"
#include "vlcom.h"

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kevofuzz::FuzzInput in(data, size);
    const int32_t heldPll = in.byte() % 3;
    const uint16_t number = in.u16();
    const std::string reply = in.rest();

    // "2" reply: "C" in second place and a digit gives the PLL mode; anything else keeps it.
    int32_t pll = heldPll;
    const std::string options = ParseOptionsReply(reply, pll);
    const bool clockReply = reply.size() >= 3 && reply[1] == 'C' && reply[2] >= '0' && reply[2] <= '9';
    FUZZ_CHECK(pll == (clockReply ? reply[2] - '0' : heldPll));
    FUZZ_CHECK(options == (clockReply && pll != 0 ? "PLL-Takterzeugung" : "Standard"));

    // The short serial number: the last four characters.
    const std::string shortSerial = ShortSerialOf(reply);
    FUZZ_CHECK(shortSerial.size() == (reply.size() < 4 ? reply.size() : 4));
    FUZZ_CHECK(reply.compare(reply.size() - shortSerial.size(), shortSerial.size(), shortSerial) == 0);

    // Block size: any answer gives 0..65535; one character and the hex digits of n give n.
    const int32_t blockSize = vlcom::parseBlockSize(reply);
    FUZZ_CHECK(blockSize >= 0 && blockSize <= 65535);
    if (reply.size() < 2 || !isHexDigit(reply[1])) FUZZ_CHECK(blockSize == 0);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", unsigned(number));
    std::string answer = std::string(1, reply.empty() ? 'x' : reply[0]) + hex;
    if (!reply.empty() && !isHexDigit(reply.back())) answer += reply.back();
    FUZZ_CHECK(vlcom::parseBlockSize(answer) == number);

    // A reply crosses the library boundary unchanged up to its first zero byte.
    FUZZ_CHECK(takeOleReply(oleFromText(reply)) == reply.substr(0, reply.find('\0')));
    return 0;
}
