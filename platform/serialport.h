// Serial port layer: COM port names, opening a port exclusively, raw 8N1 line
// settings, and non-blocking reads and writes.
//
// Port names: a symbolic link "COMn" in the port folder points at the device
// (/dev/ttyUSB0, a pty, ...). The port folder is $VLCOM_PORT_DIR, else
// $XDG_CONFIG_HOME/vl-com/ports, else ~/.config/vl-com/ports. Without a link a
// fixed rule holds, so that a USB adapter needs no set-up: COM1..COM4 are
// /dev/ttyS0..3, COM5..COM8 /dev/ttyUSB0..3 (USB serial converters), COM9..COM12
// /dev/ttyACM0..3 (USB CDC devices); higher numbers exist only as links. A link
// always wins, even one that leads nowhere. $VLCOM_DEV_ROOT, when set, is put in
// front of those /dev paths (tests use it to stand a pty in for a USB device).
//
// Threads: a SerialPort may be read by one thread while another writes it;
// open and close must not run while another thread uses the port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace serial {

enum class OpenResult {
    Ok,
    NoSuchPort,     // no link and no fallback device, or the device does not exist
    InUse,          // another handle (this or another process) holds the port
    AccessDenied,   // the user may not open the device (EACCES, EPERM)
    NotCharDevice,  // the name leads to a disk file or a directory
    Failed,         // any other open failure (not a terminal, I/O error, ...)
};

// The port folder as described above (no trailing slash).
std::string portDirectory();

// The device path for a port name ("COM3"): the link in the port folder, else the
// fixed device; "" when the name maps to nothing. Names with a path separator, a
// zero byte or no text map to nothing.
std::string devicePath(const std::string& portName);

// Opens the port as the library would and closes it again at once. Used to
// tell whether a port is free, in use or absent without keeping it.
OpenResult probePort(const std::string& portName);

// A short English tag for test output ("ok", "no such port", ...).
const char* resultName(OpenResult r);

class SerialPort {
  public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the named port for reading and writing, exclusively, as an existing
    // character device. Nothing is changed on failure.
    OpenResult open(const std::string& portName);
    // Same for a device path instead of a port name.
    OpenResult openDevice(const std::string& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Raw 8N1 at the given rate, no flow control, DTR on. Returns false when a
    // setting was refused (callers may ignore it). Unknown rates keep the driver's.
    bool configure(int32_t baud);

    // Bytes waiting in the input queue; 0 when none, on error or after a hang-up.
    int bytesWaiting() const;

    // Reads up to max waiting bytes without blocking. Returns the count read,
    // 0 when nothing came (no data, error or hang-up).
    size_t readSome(uint8_t* buf, size_t max);

    // Writes all bytes, waiting (poll) while the output queue is full, at most
    // timeoutMs in all. Stalled: the device is there but took not all of them in that time
    // (a slow reader); Failed: an error or a hang-up (the device is gone), or no port open.
    enum class WriteResult { Ok, Stalled, Failed };
    WriteResult writeAll(const void* data, size_t len, int timeoutMs = 2000);

    // Drops whatever waits in the input queue.
    void discardInput();

  private:
    int fd_ = -1;
};

// True when the rate is one the layer can set (termios speed constant exists).
bool isSupportedBaud(int32_t baud);

}  // namespace serial
