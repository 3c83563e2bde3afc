// Another process that holds a device open and locked, as a second program using
// the same serial port would, until the holder is released or destroyed.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

class OtherProcessHoldsPort {
  public:
    explicit OtherProcessHoldsPort(const std::string& device) {
        if (pipe(ready_) != 0 || pipe(release_) != 0) return;
        child_ = fork();
        if (child_ == 0) {
            int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
            char c = (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ? 1 : 0;
            (void)!write(ready_[1], &c, 1);
            (void)!read(release_[0], &c, 1);
            _exit(0);
        }
        char c = 0;
        holding_ = child_ > 0 && read(ready_[0], &c, 1) == 1 && c == 1;
    }
    ~OtherProcessHoldsPort() {
        release();
        for (int fd : {ready_[0], ready_[1], release_[0], release_[1]})
            if (fd >= 0) close(fd);
    }
    // True once the child has the device open and locked.
    bool holding() const { return holding_; }
    // Lets the child close the device and waits for its end.
    void release() {
        if (child_ <= 0) return;
        (void)!write(release_[1], "x", 1);
        waitpid(child_, nullptr, 0);
        child_ = -1;
        holding_ = false;
    }

  private:
    int ready_[2] = {-1, -1};
    int release_[2] = {-1, -1};
    pid_t child_ = -1;
    bool holding_ = false;
};
