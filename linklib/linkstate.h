// Internal to the vl-com library (not exported): access to the stored link target
// for the port-setup dialog, which sets it without test-opening the port.
#pragma once

#include <cstdint>
#include <string>

namespace vlcom {
// Stores the port name and baud rate used by the next VlCOMOpenPort.
void setLinkTarget(const std::string& port, int32_t baud);
}  // namespace vlcom
