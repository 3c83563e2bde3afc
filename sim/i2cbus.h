// The simulated I2C bus behind the adapter: memory devices and the execution of the
// ",R" / ",W" command telegrams. Plain logic, no I/O; the simulator locks around it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rafusim.h"

namespace rafusim {

class I2cBus {
  public:
    void addDevice(uint8_t address, const DeviceConfig& config);
    void removeDevice(uint8_t address);
    void clear() { devices_.clear(); }
    std::vector<uint8_t> memory(uint8_t address) const;
    void setMemory(uint8_t address, size_t offset, const std::vector<uint8_t>& bytes);
    void setAddressStatus(uint8_t address, const std::string& status, int n = 0);
    void failNext(const std::string& status, int n);

    // Executes a telegram that starts with ",R" or ",W" and returns the reply
    // (",r" + status [+ ",HH"...] or ",w" + status).
    std::string execute(const std::string& telegram);

  private:
    struct Device {
        DeviceConfig cfg;
        std::vector<uint8_t> mem;
        size_t pointer = 0;  // the device's own address counter
    };
    // The device that answers at this 8-bit address (R/W bit ignored) and the block that the
    // address selects (one-byte sub-address parts above 256 bytes), or null.
    Device* find(unsigned address, size_t* block);
    const Device* find(unsigned address, size_t* block) const;
    void writeBytes(Device& dev, const std::vector<uint8_t>& bytes);

    std::map<uint8_t, Device> devices_;
    struct ForcedStatus {
        std::string status;
        int left = 0;  // telegrams still to answer so; 0 = every one
    };
    std::map<uint8_t, ForcedStatus> addressStatus_;
    std::string failStatus_;
    int failCount_ = 0;
};

}  // namespace rafusim
