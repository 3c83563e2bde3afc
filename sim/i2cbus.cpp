#include "i2cbus.h"

#include <cctype>
#include <cstdio>

namespace rafusim {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads 1..maxDigits hexadecimal digits at pos; false when there is none.
bool readHex(const std::string& s, size_t& pos, size_t maxDigits, unsigned& value) {
    size_t start = pos;
    value = 0;
    while (pos < s.size() && pos - start < maxDigits && hexValue(s[pos]) >= 0) {
        value = value * 16 + unsigned(hexValue(s[pos]));
        ++pos;
    }
    return pos > start;
}

std::string hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

}  // namespace

void I2cBus::addDevice(uint8_t address, const DeviceConfig& config) {
    Device d;
    d.cfg = config;
    if (d.cfg.size < 1) d.cfg.size = 1;
    if (d.cfg.pageSize < 1) d.cfg.pageSize = 1;
    if (d.cfg.subAddressBytes != 2) d.cfg.subAddressBytes = 1;
    d.mem.assign(size_t(d.cfg.size), d.cfg.fill);
    devices_[uint8_t(address & 0xFE)] = std::move(d);
}

void I2cBus::removeDevice(uint8_t address) {
    devices_.erase(uint8_t(address & 0xFE));
}

std::vector<uint8_t> I2cBus::memory(uint8_t address) const {
    auto it = devices_.find(uint8_t(address & 0xFE));
    return it == devices_.end() ? std::vector<uint8_t>() : it->second.mem;
}

void I2cBus::setMemory(uint8_t address, size_t offset, const std::vector<uint8_t>& bytes) {
    auto it = devices_.find(uint8_t(address & 0xFE));
    if (it == devices_.end()) return;
    auto& mem = it->second.mem;
    for (size_t i = 0; i < bytes.size() && offset + i < mem.size(); ++i) mem[offset + i] = bytes[i];
}

void I2cBus::setAddressStatus(uint8_t address, const std::string& status, int n) {
    if (status.empty())
        addressStatus_.erase(uint8_t(address & 0xFE));
    else
        addressStatus_[uint8_t(address & 0xFE)] = {status, n > 0 ? n : 0};
}

void I2cBus::failNext(const std::string& status, int n) {
    failStatus_ = status;
    failCount_ = n;
}

const I2cBus::Device* I2cBus::find(unsigned address, size_t* block) const {
    unsigned a = address & ~1u;
    for (const auto& [base, dev] : devices_) {
        size_t blocks = 1;
        if (dev.cfg.subAddressBytes == 1) blocks = (dev.mem.size() + 255) / 256;
        if (a >= base && a < base + 2 * blocks) {
            *block = (a - base) / 2;
            return &dev;
        }
    }
    return nullptr;
}

I2cBus::Device* I2cBus::find(unsigned address, size_t* block) {
    return const_cast<Device*>(static_cast<const I2cBus*>(this)->find(address, block));
}

void I2cBus::writeBytes(Device& dev, const std::vector<uint8_t>& bytes) {
    const size_t size = dev.mem.size();
    for (uint8_t b : bytes) {
        dev.mem[dev.pointer] = b;
        if (dev.cfg.kind == DeviceKind::Eeprom) {
            // The address counter's low bits wrap inside the write page.
            size_t page = size_t(dev.cfg.pageSize);
            size_t pageStart = dev.pointer - dev.pointer % page;
            dev.pointer = pageStart + (dev.pointer % page + 1) % page;
            if (dev.pointer >= size) dev.pointer = pageStart;
        } else {
            dev.pointer = (dev.pointer + 1) % size;
        }
    }
}

std::string I2cBus::execute(const std::string& t) {
    const bool isRead = t.size() >= 2 && t[1] == 'R';
    const std::string echo = isRead ? ",r" : ",w";

    // ",R" / ",W" count "," address [S HH | W HHHH] then ",HH" per byte for writes.
    size_t pos = 2;
    unsigned count = 0, address = 0, sub = 0;
    char subKind = 0;
    if (!readHex(t, pos, 4, count) || pos >= t.size() || t[pos] != ',') return echo + "02";
    ++pos;
    size_t addrStart = pos;
    if (!readHex(t, pos, 2, address) || pos - addrStart != 2) return echo + "02";
    if (pos < t.size() && (t[pos] == 'S' || t[pos] == 'W')) {
        subKind = t[pos++];
        size_t start = pos;
        if (!readHex(t, pos, subKind == 'S' ? 2 : 4, sub) || pos - start != (subKind == 'S' ? 2u : 4u))
            return echo + "02";
    }
    std::vector<uint8_t> data;
    while (pos < t.size()) {
        if (t[pos] != ',') return echo + "02";
        ++pos;
        if (pos == t.size()) break;  // a trailing comma (the scan probe) carries no byte
        unsigned v;
        size_t start = pos;
        if (!readHex(t, pos, 2, v) || pos - start != 2) return echo + "02";
        data.push_back(uint8_t(v));
    }
    if (isRead ? !data.empty() : data.size() != count) return echo + "02";

    if (failCount_ > 0) {
        --failCount_;
        return echo + failStatus_;
    }
    auto st = addressStatus_.find(uint8_t(address & 0xFE));
    if (st != addressStatus_.end()) {
        const std::string status = st->second.status;
        if (st->second.left > 0 && --st->second.left == 0) addressStatus_.erase(st);
        return echo + status;
    }

    size_t block = 0;
    Device* dev = find(address, &block);
    if (!dev) return echo + "01";  // nobody acknowledged the address

    const size_t size = dev->mem.size();
    if (subKind) {
        size_t p = subKind == 'S' && dev->cfg.subAddressBytes == 1 ? block * 256 + sub : sub;
        dev->pointer = p % size;
    }
    if (!isRead) {
        writeBytes(*dev, data);
        return echo + "00";
    }
    std::string reply = echo + "00";
    for (unsigned i = 0; i < count; ++i) {
        reply += "," + hex2(dev->mem[dev->pointer]);
        dev->pointer = (dev->pointer + 1) % size;
    }
    return reply;
}

}  // namespace rafusim
