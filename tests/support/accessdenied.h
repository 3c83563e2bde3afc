// A device the user may not open, for tests that run as root: the device's mode is set to
// 000 (or the mode given: 0555 makes a folder read-only) and, while the object lives, the calling thread
// gives up its right to override file permissions (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH in the effective set
// only, so they come back). Any open of the device on this thread then fails with EACCES, as for a user
// outside the device's group. Without root the mode alone does it.
#pragma once

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <string>

namespace kevosupport {

class DeviceAccessDenied {
  public:
    explicit DeviceAccessDenied(const std::string& device, mode_t mode = 0) : device_(device) {
        struct stat st;
        if (stat(device.c_str(), &st) != 0 || chmod(device.c_str(), mode) != 0) return;
        mode_ = st.st_mode & 07777;
        if (capget(saved_)) {
            __user_cap_data_struct dropped[2] = {saved_[0], saved_[1]};
            for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
                dropped[cap / 32].effective &= ~(1u << (cap % 32));
            capsDropped_ = capset(dropped);
        }
        active_ = true;
    }
    ~DeviceAccessDenied() { restore(); }
    DeviceAccessDenied(const DeviceAccessDenied&) = delete;
    DeviceAccessDenied& operator=(const DeviceAccessDenied&) = delete;

    // True while the device is refused.
    bool active() const { return active_; }

    // Gives the thread its rights and the device its mode back.
    void restore() {
        if (!active_) return;
        if (capsDropped_) capset(saved_);
        chmod(device_.c_str(), mode_);
        active_ = false;
    }

  private:
    static bool capget(__user_cap_data_struct* data) {
        __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};
        return syscall(SYS_capget, &h, data) == 0;
    }
    static bool capset(__user_cap_data_struct* data) {
        __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};  // 0: this thread only
        return syscall(SYS_capset, &h, data) == 0;
    }

    std::string device_;
    mode_t mode_ = 0;
    __user_cap_data_struct saved_[2] = {};
    bool capsDropped_ = false;
    bool active_ = false;
};

}  // namespace kevosupport
