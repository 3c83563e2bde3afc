#include "traffic.h"

#include <algorithm>

namespace rafusim {

TrafficGenerator::TrafficGenerator(const TrafficOptions& options)
    : opt_(options), state_(options.seed ? options.seed : 0x12345678u) {
    if (opt_.dataBytesMax >= 0) {
        opt_.dataBytesMin = std::max(opt_.dataBytesMin, 0);
        if (opt_.dataBytesMin > opt_.dataBytesMax) std::swap(opt_.dataBytesMin, opt_.dataBytesMax);
    }
}

unsigned TrafficGenerator::dataBytes(unsigned builtInMin, unsigned builtInSpan, unsigned atLeast) {
    if (opt_.dataBytesMax < 0) return builtInMin + below(builtInSpan);
    const unsigned lo = unsigned(opt_.dataBytesMin), hi = unsigned(opt_.dataBytesMax);
    return std::max(atLeast, lo + below(hi - lo + 1));
}

uint32_t TrafficGenerator::rnd() {
    // xorshift32: cheap and reproducible
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

void TrafficGenerator::nextTelegram() {
    ++telegrams_;
    if (opt_.bufferFullEvery > 0 && telegrams_ % unsigned(opt_.bufferFullEvery) == 0) {
        queue_.push_back(StatusBufferFull);
        queue_.push_back(0x00);
        return;
    }
    static const uint8_t devices[] = {0xA0, 0xA4, 0xD0, 0x40, 0x90};
    const uint8_t dev = devices[below(sizeof devices)];
    uint8_t port = 0;
    if (opt_.portBits && below(4) == 0)
        port = below(2) ? uint8_t(StatusPort) : uint8_t(StatusPort | StatusPortAfter);

    // Pairs are built with "no stop" set; the last one of the telegram gets a stop.
    std::vector<uint8_t> st, dt;
    auto add = [&](uint8_t status, uint8_t data) {
        st.push_back(uint8_t(status | StatusNoError | StatusNoStop | port));
        dt.push_back(data);
    };
    unsigned kind = below(10);
    if (opt_.naks && kind == 0) {
        add(StatusStart | StatusNak, uint8_t(dev + 2 * below(4)));  // nobody answers
    } else if (kind <= 4) {
        // write: address, sub-address, data
        add(StatusStart, dev);
        add(0, uint8_t(rnd()));
        const unsigned n = dataBytes(0, 9, 0);
        for (unsigned i = 0; i < n; ++i) add(0, uint8_t(rnd()));
    } else if (kind <= 7) {
        // random read: address, sub-address, repeated start, read address, data; last byte NAKed
        add(StatusStart, dev);
        add(0, uint8_t(rnd()));
        add(StatusRepStart, uint8_t(dev | 1));
        const unsigned n = dataBytes(1, 16, 1);
        for (unsigned i = 0; i < n; ++i) add(0, uint8_t(rnd()));
        st.back() |= StatusNak;
    } else {
        // current-address read
        add(StatusStart, uint8_t(dev | 1));
        const unsigned n = dataBytes(1, 8, 1);
        for (unsigned i = 0; i < n; ++i) add(0, uint8_t(rnd()));
        st.back() |= StatusNak;
    }
    if (opt_.errors && below(25) == 0) {
        size_t i = 1 + below(unsigned(st.size()));
        if (i >= st.size()) i = st.size() - 1;
        st[i] &= uint8_t(~StatusNoError);  // protocol error: the telegram ends there
        st.resize(i + 1);
        dt.resize(i + 1);
    }
    st.back() &= uint8_t(~StatusNoStop);
    for (size_t i = 0; i < st.size(); ++i) {
        queue_.push_back(st[i]);
        queue_.push_back(dt[i]);
    }
}

size_t TrafficGenerator::generate(size_t maxPairs, std::vector<uint8_t>& out) {
    size_t n = 0;
    while (n < maxPairs && !exhausted()) {
        if (queue_.empty()) {
            if (opt_.maxPairs && generated_ >= opt_.maxPairs) break;
            nextTelegram();
        }
        out.push_back(queue_.front());
        queue_.pop_front();
        out.push_back(queue_.front());
        queue_.pop_front();
        ++n;
        ++generated_;
    }
    return n;
}

}  // namespace rafusim
