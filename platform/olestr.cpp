#include "olestr.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {
std::atomic<long> liveCount{0};
constexpr size_t kPrefix = sizeof(uint32_t);
}  // namespace

extern "C" BSTR SysAllocStringByteLen(const char* psz, uint32_t len) {
    // Prefix + data + terminating zero; guard against size overflow on 32-bit hosts.
    if (static_cast<uint64_t>(len) + kPrefix + 1 > SIZE_MAX) return nullptr;
    auto* block = static_cast<char*>(std::malloc(kPrefix + static_cast<size_t>(len) + 1));
    if (!block) return nullptr;
    std::memcpy(block, &len, kPrefix);
    char* data = block + kPrefix;
    if (psz)
        std::memcpy(data, psz, len);
    else
        std::memset(data, 0, len);
    data[len] = 0;
    liveCount.fetch_add(1, std::memory_order_relaxed);
    return data;
}

extern "C" uint32_t SysStringByteLen(BSTR bstr) {
    if (!bstr) return 0;
    uint32_t len;
    std::memcpy(&len, bstr - kPrefix, kPrefix);
    return len;
}

extern "C" void SysFreeString(BSTR bstr) {
    if (!bstr) return;
    liveCount.fetch_sub(1, std::memory_order_relaxed);
    std::free(bstr - kPrefix);
}

extern "C" long OleStrLiveCount(void) { return liveCount.load(std::memory_order_relaxed); }
