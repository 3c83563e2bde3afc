// The texts of the main window's five status panels and its caption, as a pure function of
// the settings, the adapter identity, the document state and the paths. No Qt; the window
// only assigns what this returns. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

struct TProjectSettings;
struct TDeviceInfo;

// The main window's caption before the first status update, and the start of every later one.
extern const char* const MainCaption;
// The log's name while it has none of its own ("I2CWatch.i2p" in the log folder).
extern const char* const DefaultLogName;

// The main window's paths that the texts show (directories with a trailing "/").
struct StatusPaths {
    std::string projectDir;
    std::string projectPath;  // empty: the default project
    std::string logPath;      // empty: not yet named
};

struct StatusTexts {
    std::string panels[5];  // device, level, sampling clock range, master clock, project
    std::string caption;
};

// offline: the program runs without the adapter link. DataDir of settings decides whether
// the caption shows the log's file name or its whole path.
StatusTexts statusTexts(const TProjectSettings& settings, const TDeviceInfo& device, bool offline,
                        std::int32_t docFlags, const StatusPaths& paths);
