#include "traffic.h"

namespace rafusim {

TrafficGenerator::TrafficGenerator(const TrafficOptions& options)
    : opt_(options), state_(options.seed ? options.seed : 0x12345678u) {}

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
        unsigned n = below(9);
        for (unsigned i = 0; i < n; ++i) add(0, uint8_t(rnd()));
    } else if (kind <= 7) {
        // random read: address, sub-address, repeated start, read address, data; last byte NAKed
        add(StatusStart, dev);
        add(0, uint8_t(rnd()));
        add(StatusRepStart, uint8_t(dev | 1));
        unsigned n = 1 + below(16);
        for (unsigned i = 0; i < n; ++i) add(0, uint8_t(rnd()));
        st.back() |= StatusNak;
    } else {
        // current-address read
        add(StatusStart, uint8_t(dev | 1));
        unsigned n = 1 + below(8);
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
