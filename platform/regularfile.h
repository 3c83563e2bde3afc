// Files the program reads or writes as documents (logs, memory images, configuration and
// project files) are regular files, also behind a symbolic link. A folder, a device or a named
// pipe is never opened: opening a pipe blocks until another process opens its other end, and
// opening a device can already do something. Any thread.
#pragma once

#include <string>

// True when path names a regular file (a symbolic link is followed).
bool isRegularFile(const std::string& path);

// open(2) of path for reading when path is a regular file (files are written by saveFiles,
// filesave.h). Checked before the open and again on the opened descriptor, which is blocking
// and close-on-exec. -1 for anything else or when the open fails.
int openRegularFile(const std::string& path);
