// The capture thread ThIIcWatch: brackets a recording with header and footer lines, sends
// the adapter the start and stop telegrams, polls the link library's binary receive buffer,
// appends every BusEvent pair to the capture store and has the GUI thread decode them.
//
// It never touches the trace view itself: ResetMonitorAttributes, SyncAddLine and
// SyncDecode run on the GUI thread through Synchronize (syncmailbox.h) while the thread
// waits. The recording control creates it suspended after ComOpen, resumes it, and at the
// stop calls Terminate, then WaitFor (which keeps serving the hand-overs: the stop
// telegram, the one-second wait, the final drain and the footer happen during it), then
// deletes it and calls ComClose.
//
// An exception inside a hand-over does not end the thread: it is kept as the recording's
// error, the capture loop ends as if stopped, and the thread still sends the stop telegram,
// drains and writes the footer. Then it tells its creator through the error notice.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <thread>

#include "olestr.h"

class QDateTime;
class QLocale;
class QString;

// 1 from just before the header until the final drain is done, then 0; the decoder's line
// limit in SyncDecode. Written by the capture thread only.
extern std::atomic<std::int32_t> CaptureRunning;
// The header or footer line handed to SyncAddLine; a first byte 0x80 means: continue the
// last line of the trace. Written by the capture thread before a hand-over.
extern std::string PendingLine;

// Lines that one hand-over of the final decode writes at most: what the live decode left
// behind goes in such chunks, so that the GUI thread is never held for long.
constexpr std::int32_t CatchUpLines = 300;

// Endings of the footer's date line.
extern const std::string CaptureEndedText;     // " - Aufzeichnung beendet! "
extern const std::string CaptureOverflowText;  // " - Aufzeichnung abgebrochen - Speicherüberlauf!"

class ThIIcWatch {
  public:
    explicit ThIIcWatch(bool CreateSuspended);
    // A thread still running is asked to end and waited for (serving hand-overs).
    ~ThIIcWatch();
    ThIIcWatch(const ThIIcWatch&) = delete;
    ThIIcWatch& operator=(const ThIIcWatch&) = delete;

    // Starts a thread created suspended; no effect otherwise.
    void Resume();
    // Asks the thread to end; it notices at the end of a pass of its capture loop.
    void Terminate();
    bool Terminated() const { return terminated_.load(); }
    // GUI thread: waits for the end, running the thread's hand-overs meanwhile.
    void WaitFor();
    bool Finished() const { return finished_.load(); }
    // The recording's first error (a hand-over's, or one that ended Execute), or null. Read
    // it once the thread has finished.
    std::exception_ptr FatalException() const { return fatal_; }
    // Called on the capture thread as its last act when it ended with an error (after its
    // footer; Finished() already holds). Set before Resume.
    void setErrorNotice(std::function<void()> notice) { errorNotice_ = std::move(notice); }

    // GUI-thread hand-overs (public so that they can be driven directly).
    static void ResetMonitorAttributes();
    static void SyncAddLine();
    static void SyncDecode();
    // Decodes up to CatchUpLines lines; true while pairs are left to decode.
    static bool SyncCatchUp();

  protected:
    void Execute();

  private:
    void run();
    // Runs method on the GUI thread; an exception there is kept as the recording's error.
    void Synchronize(const std::function<void()>& method);

    std::thread thread_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    bool started_ = false;
    std::exception_ptr fatal_;
    std::function<void()> errorNotice_;
};

// The link calls of the capture thread. Default: ComSend of the command link and vl-com's
// asGetRxBinBuf. Tests may route them elsewhere; null restores the default.
struct CaptureLink {
    std::int32_t (*send)(const std::string& telegram) = nullptr;
    BSTR (*takeRxBuffer)() = nullptr;
};
void setCaptureLink(const CaptureLink& link);

// The locale whose short date and long time formats the header and footer use: the
// system's for dates and times, taken as the C library takes it (LC_ALL, else LC_TIME, else
// LANG). The C/POSIX locale belongs to no country and spells the month in English
// ("8 Dec 2026"), which would stand beside the German weekday; German, the language of the
// trace, stands in for it.
QLocale captureLocale();
// The locale's long time format without its time-zone field (which comes from the zone
// data, not from the locale): hours, minutes and seconds as the locale writes them.
QString longTimeFormat(const QLocale& locale);
// A time format without its zone fields ("t" to "tttt" outside quotes) and what enclosed or
// led up to them.
QString withoutZoneField(const QString& format);

// The header and footer texts (UTF-8) for the current settings and clock.
std::string captureDateText();  // weekday + " " + short date + ", " + long time
std::string captureDateText(const QDateTime& at, const QLocale& locale);
std::string captureHeaderLine3();
