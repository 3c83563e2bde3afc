// A device root of the test's own. Port names without a link in the port folder (COM1..COM12)
// stand for /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* below $VLCOM_DEV_ROOT; with an empty
// folder there, no test opens a real serial device (an adapter plugged into the machine).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "envguard.h"

namespace kevosupport {

class PrivateDevRoot {
  public:
    // Makes an empty folder and points $VLCOM_DEV_ROOT at it until the object ends.
    PrivateDevRoot() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kevo-devroot-XXXXXX").string();
        made_ = ::mkdtemp(tmpl.data()) != nullptr;
        path_ = tmpl;  // without the folder the devices below it do not exist either
        ::setenv("VLCOM_DEV_ROOT", path_.c_str(), 1);
    }
    ~PrivateDevRoot() {
        std::error_code ec;
        if (made_) std::filesystem::remove_all(path_, ec);
    }
    PrivateDevRoot(const PrivateDevRoot&) = delete;
    PrivateDevRoot& operator=(const PrivateDevRoot&) = delete;

    const std::string& path() const { return path_; }

  private:
    EnvGuard env_{"VLCOM_DEV_ROOT"};  // first: put back after the folder is gone
    std::string path_;
    bool made_ = false;
};

}  // namespace kevosupport
