#include "serialport.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>

namespace serial {

namespace {

struct BaudEntry {
    int32_t baud;
    speed_t speed;
};

const BaudEntry kBauds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool speedFor(int32_t baud, speed_t* out) {
    for (const BaudEntry& e : kBauds) {
        if (e.baud == baud) {
            *out = e.speed;
            return true;
        }
    }
    return false;
}

long long nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// "COM" followed by a number 1..255, in any letter case; returns 0 otherwise.
int comNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M')
        return 0;
    int n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        n = n * 10 + (name[i] - '0');
    }
    return (n >= 1 && n <= 255) ? n : 0;
}

// Releases the exclusive mode and the lock, then closes.
void closeFd(int fd) {
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    ::close(fd);
}

}  // namespace

std::string portDirectory() {
    const char* dir = std::getenv("VLCOM_PORT_DIR");
    if (dir && *dir) return dir;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/vl-com/ports";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/vl-com/ports";
}

std::string devicePath(const std::string& portName) {
    if (portName.empty() || portName.find('/') != std::string::npos ||
        portName.find('\0') != std::string::npos || portName == "." || portName == "..")
        return "";
    std::string link = portDirectory() + "/" + portName;
    struct stat st;
    if (lstat(link.c_str(), &st) == 0) return link;
    int n = comNumber(portName);
    if (n) {
        // The link may be spelt in capitals while the caller used another case.
        std::string upper = portDirectory() + "/COM" + std::to_string(n);
        if (lstat(upper.c_str(), &st) == 0) return upper;
        const char* root = std::getenv("VLCOM_DEV_ROOT");
        const std::string dev = std::string(root ? root : "") + "/dev/";
        if (n <= 4) return dev + "ttyS" + std::to_string(n - 1);
        if (n <= 8) return dev + "ttyUSB" + std::to_string(n - 5);
        if (n <= 12) return dev + "ttyACM" + std::to_string(n - 9);
    }
    return "";
}

const char* resultName(OpenResult r) {
    switch (r) {
        case OpenResult::Ok:
            return "ok";
        case OpenResult::NoSuchPort:
            return "no such port";
        case OpenResult::InUse:
            return "in use";
        case OpenResult::AccessDenied:
            return "access denied";
        case OpenResult::NotCharDevice:
            return "not a character device";
        case OpenResult::Failed:
            return "failed";
    }
    return "?";
}

OpenResult probePort(const std::string& portName) {
    SerialPort p;
    return p.open(portName);
}

bool isSupportedBaud(int32_t baud) {
    speed_t s;
    return speedFor(baud, &s);
}

SerialPort::~SerialPort() {
    close();
}

OpenResult SerialPort::open(const std::string& portName) {
    std::string path = devicePath(portName);
    if (path.empty()) return OpenResult::NoSuchPort;
    return openDevice(path);
}

OpenResult SerialPort::openDevice(const std::string& path) {
    if (fd_ >= 0) return OpenResult::InUse;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return OpenResult::NoSuchPort;
        return errno == EACCES ? OpenResult::AccessDenied : OpenResult::Failed;
    }
    if (!S_ISCHR(st.st_mode)) return OpenResult::NotCharDevice;

    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY) return OpenResult::InUse;  // another opener set TIOCEXCL
        if (errno == EACCES || errno == EPERM) return OpenResult::AccessDenied;
        if (errno == ENOENT || errno == ENXIO || errno == ENODEV) return OpenResult::NoSuchPort;
        return OpenResult::Failed;
    }
    if (!isatty(fd)) {
        ::close(fd);
        return OpenResult::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int e = errno;
        ::close(fd);
        return (e == EWOULDBLOCK) ? OpenResult::InUse : OpenResult::Failed;
    }
    if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) {
        closeFd(fd);
        return OpenResult::Failed;
    }
    fd_ = fd;
    return OpenResult::Ok;
}

void SerialPort::close() {
    if (fd_ < 0) return;
    closeFd(fd_);
    fd_ = -1;
}

bool SerialPort::configure(int32_t baud) {
    if (fd_ < 0) return false;
    bool ok = true;
    termios tio;
    if (tcgetattr(fd_, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    speed_t speed;
    if (speedFor(baud, &speed)) {
        if (cfsetspeed(&tio, speed) != 0) ok = false;
    } else {
        ok = false;  // keep the driver's rate
    }
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) ok = false;
    int dtr = TIOCM_DTR;
    if (ioctl(fd_, TIOCMBIS, &dtr) != 0 && errno != ENOTTY && errno != EINVAL) ok = false;
    return ok;
}

int SerialPort::bytesWaiting() const {
    if (fd_ < 0) return 0;
    int n = 0;
    if (ioctl(fd_, FIONREAD, &n) != 0 || n < 0) return 0;
    return n;
}

size_t SerialPort::readSome(uint8_t* buf, size_t max) {
    if (fd_ < 0 || max == 0) return 0;
    for (;;) {
        ssize_t n = ::read(fd_, buf, max);
        if (n > 0) return static_cast<size_t>(n);
        if (n < 0 && errno == EINTR) continue;
        return 0;  // no data, error (EIO after a hang-up) or end of file
    }
}

SerialPort::WriteResult SerialPort::writeAll(const void* data, size_t len, int timeoutMs) {
    if (fd_ < 0) return WriteResult::Failed;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    long long deadline = nowMs() + timeoutMs;
    while (len > 0) {
        ssize_t n = ::write(fd_, p, len);
        if (n > 0) {
            p += n;
            len -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return WriteResult::Failed;
        long long left = deadline - nowMs();
        if (left <= 0) return WriteResult::Stalled;
        pollfd pfd{fd_, POLLOUT, 0};
        int r = ::poll(&pfd, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return WriteResult::Failed;
        if (r == 0) return WriteResult::Stalled;
        if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) return WriteResult::Failed;
    }
    return WriteResult::Ok;
}

void SerialPort::discardInput() {
    if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

}  // namespace serial
