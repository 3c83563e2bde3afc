#include "linkproto.h"

#include <cfenv>
#include <cmath>

namespace vlcom {

uint8_t textChecksum(const std::string& payload) {
    uint8_t cs = 0x55;
    for (unsigned char c : payload) cs ^= c;
    if (cs < 0x20) cs ^= 0xFF;
    return cs;
}

uint8_t blockChecksum(const char* data, size_t len) {
    uint8_t cs = 0xAA;
    for (size_t i = 0; i < len; ++i) cs ^= static_cast<uint8_t>(data[i]);
    return cs;
}

std::string buildTextFrame(const std::string& payload) {
    std::string f;
    f.reserve(payload.size() + 3);
    f.push_back(static_cast<char>(STX));
    f += payload;
    f.push_back(static_cast<char>(ETX));
    f.push_back(static_cast<char>(textChecksum(payload)));
    return f;
}

std::string buildBlock(const char* data, size_t len, int32_t blockSize) {
    std::string b;
    b.reserve(len + 3);
    if (blockSize > 0 && len == static_cast<size_t>(blockSize)) {
        b.push_back(static_cast<char>(ENQ));
    } else {
        b.push_back(static_cast<char>(EOT));
        b.push_back(static_cast<char>(len & 0xFF));
    }
    b.append(data, len);
    b.push_back(static_cast<char>(blockChecksum(data, len)));
    return b;
}

int answerRounds(int32_t baud) {
    if (baud <= 0) baud = 9600;
    double n = 1000000.0 / baud + 5.0;
    // std::nearbyint follows the rounding mode, which is to-nearest-even by default.
    int old = std::fegetround();
    std::fesetround(FE_TONEAREST);
    double r = std::nearbyint(n);
    std::fesetround(old);
    if (r > 10000.0) r = 10000.0;
    return static_cast<int>(r);
}

int32_t parseBlockSize(const std::string& answer) {
    int32_t v = 0;
    for (size_t i = 1; i < answer.size(); ++i) {
        char c = answer[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        v = v * 16 + d;
        if (v > 65535) return 65535;
    }
    return v;
}

void RxMachine::feed(uint8_t c, int32_t blockSize, RxSink& sink) {
    if (remaining_ == -1) {  // count byte of a short block
        remaining_ = c;
        return;
    }
    if (remaining_ > 0) {  // block data, any value
        collected_.push_back(static_cast<char>(c));
        expected_ ^= c;
        --remaining_;
        return;
    }
    if (binary_) {  // block checksum
        if (c == expected_) {
            sink.block(collected_);
            sink.reply(ACK);
        } else {
            sink.reply(NAK);
        }
        expected_ = 0;
        binary_ = false;
        collected_.clear();
        return;
    }
    switch (c) {
        case STX:
            collected_.clear();
            telegram_ = true;
            expected_ = 0;
            return;
        case ETX:
            if (telegram_) {
                telegram_ = false;
                expected_ = textChecksum(collected_);
            }
            return;
        case EOT:
            collected_.clear();
            remaining_ = -1;
            expected_ = 0xAA;
            binary_ = true;
            return;
        case ENQ:
            collected_.clear();
            remaining_ = blockSize > 0 ? blockSize : 0;
            expected_ = 0xAA;
            binary_ = true;
            return;
        case ACK:
        case NAK:
            sink.ackByte(c);
            return;
        case DC1:
            sink.readyByte(c);
            return;
        default:
            break;
    }
    if (c < 0x20) {
        sink.controlByte(c);
        return;
    }
    if (telegram_) {
        if (collected_.size() >= kMaxTelegramPayload) {
            // Too long to be a telegram of ours: drop it and wait for the next STX.
            telegram_ = false;
            collected_.clear();
            return;
        }
        collected_.push_back(static_cast<char>(c));
        return;
    }
    if (expected_ != 0) {  // text checksum
        if (c == expected_) {
            sink.answer(collected_);
            sink.reply(ACK);
        } else {
            sink.reply(NAK);
        }
        expected_ = 0;
        collected_.clear();
    }
    // else: stray byte outside a telegram, dropped
}

}  // namespace vlcom
