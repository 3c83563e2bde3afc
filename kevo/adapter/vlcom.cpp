#include "vlcom.h"

#include <cstring>
#include <mutex>

#include "vl-com.h"

int32_t LinkOpenCount = 0;
std::atomic<bool> OfflineMode{false};

namespace {

// A send found the port gone; see ComPortGone.
std::atomic<bool> portGone{false};

// vl-com runs one export at a time, but a query here is two of them (the send and the
// fetch): a telegram of the capture thread between the two would start a new exchange and
// the fetch would come back empty.
std::mutex& linkLock() {
    static std::mutex m;
    return m;
}

// Owns the command variable whose reference the library receives. The library replaces
// the string by the framed telegram and frees the old one; whatever the variable holds
// at the end is freed here.
class OleCommand {
  public:
    explicit OleCommand(const std::string& text) : s_(oleFromText(text)) {}
    ~OleCommand() { SysFreeString(s_); }
    OleCommand(const OleCommand&) = delete;
    OleCommand& operator=(const OleCommand&) = delete;
    BSTR* ref() { return &s_; }

  private:
    BSTR s_;
};

}  // namespace

BSTR oleFromText(const std::string& text) {
    return SysAllocStringByteLen(text.data(), static_cast<uint32_t>(text.size()));
}

std::string takeOleReply(BSTR s) {
    if (!s) return {};
    const uint32_t len = SysStringByteLen(s);
    const void* zero = std::memchr(s, 0, len);
    std::string out(s, zero ? static_cast<const char*>(zero) - s : len);
    SysFreeString(s);
    return out;
}

bool ComOpen() {
    if (LinkOpenCount == 0) {
        std::lock_guard<std::mutex> g(linkLock());
        portGone = false;
        const int32_t r = VlCOMOpenPort();
        if (r == 0) return false;
        if (r == 1) {
            // Port open, but the adapter reported no block size: no usable adapter.
            VlCOMClosePort();
            return false;
        }
    }
    ++LinkOpenCount;
    return true;
}

void ComClose() {
    if (LinkOpenCount > 0) --LinkOpenCount;
    if (LinkOpenCount == 0) {
        std::lock_guard<std::mutex> g(linkLock());
        VlCOMClosePort();
    }
}

// The send and the wait of an exchange as two calls, so that a port that is gone is told
// from an adapter that did not answer.
std::string ComQuery(const std::string& command) {
    if (OfflineMode) return {};
    std::lock_guard<std::mutex> g(linkLock());
    OleCommand cmd(command);
    const int32_t r = VlCOMSendTelegram(cmd.ref());
    if (r == VLCOM_PORT_GONE) portGone = true;
    if (r != 0) return {};
    return takeOleReply(VlCOMTelegramEmpfang());
}

int32_t ComSend(const std::string& command) {
    if (OfflineMode) return 0;
    std::lock_guard<std::mutex> g(linkLock());
    OleCommand cmd(command);
    const int32_t r = VlCOMSendTelegram(cmd.ref());
    if (r == VLCOM_PORT_GONE) portGone = true;
    return r;
}

bool ComPortGone() {
    return portGone;
}
