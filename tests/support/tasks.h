// The threads of this process, by their kernel ids.
#pragma once

#include <dirent.h>
#include <stdlib.h>

#include <set>

namespace kevosupport {

inline std::set<int> taskIds() {
    std::set<int> ids;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ids.insert(atoi(e->d_name));
        closedir(d);
    }
    return ids;
}

}  // namespace kevosupport
