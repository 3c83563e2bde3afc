// The dialog seam: every message box, input query, file dialog, printer dialog and
// directory chooser of the program goes through here. By default each request shows
// the Qt dialog; tests install a responder that answers each request in turn and
// records what was asked, so no test ever blocks on a modal window.
//
// GUI thread only. This header has no Qt dependency, so logic units may use it.
// Texts are UTF-8.
#pragma once

#include <functional>
#include <string>
#include <vector>

class QPrinter;

namespace dialogs {

// Modal results, numbered as the class library numbers them.
enum ModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7
};

// A responder's answer for "the user pressed Esc or the box's close button": the seam turns it
// into the request's escapeResult, or, where the box ignores both, asks again.
constexpr int mrEscape = -1;

// Buttons of a message box (a set of bits).
enum Button : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
};

enum class MsgType { Warning, Error, Information, Confirmation, Custom };

enum class Kind {
    Message,     // message box: caption, text, type, buttons, position
    InputQuery,  // caption, text (prompt), value (initial)
    OpenFile,    // caption, filter, initialDir, value (file name)
    SaveFile,    // caption, filter, initialDir, value (file name), defaultExt
    SelectDir,   // caption, value (directory)
    Printer,     // caption, printer (set up by the dialog); value: a PDF file to print into
};

struct Request {
    Kind kind = Kind::Message;
    std::string caption;  // empty: the platform's default caption for the type
    std::string text;
    MsgType type = MsgType::Information;
    unsigned buttons = mbOK;
    // Button captions in the order shown (German); filled by the helpers below.
    std::vector<std::string> buttonCaptions;
    // Top-left corner of the box in screen coordinates; centred when both are -1.
    int x = -1;
    int y = -1;
    // Message: what Esc and the close button give (the box clicks the button of that result);
    // mrNone: the box ignores both.
    int escapeResult = mrNone;
    std::string filter;  // "I²C Protokoll|*.I2P" style: description|pattern pairs
    std::string initialDir;
    std::string defaultExt;
    // Initial text / file name / directory. A file name that is an absolute path is used as it
    // is; a relative one is taken from initialDir.
    std::string value;
    // Printer: the printer the real dialog sets up (owned by the caller). A responder leaves
    // it alone and names a PDF file in its answer, or none for the printer as it is.
    QPrinter* printer = nullptr;
};

struct Response {
    int result = mrCancel;  // modal result; for dialogs mrOk when accepted
    std::string value;      // entered text / chosen path / directory
};

using Responder = std::function<Response(const Request&)>;

// Installs a responder (tests); an empty one restores the real dialogs.
void setResponder(Responder responder);
// Whether a responder answers requests.
bool hasResponder();
// Sends a request through the responder, or shows the real dialog.
Response ask(const Request& request);

// MessageDlgPos: a box with the standard German captions at (x, y); -1/-1 centres it. Esc and
// the close button give escapeResult; mrNone: defaultEscapeResult(buttons).
int messageDlgPos(const std::string& text, MsgType type, unsigned buttons, int x = -1, int y = -1,
                  int escapeResult = mrNone);
// A box with its own caption and buttons (German captions given by the caller).
int messageBox(const std::string& caption, const std::string& text, MsgType type, unsigned buttons,
               const std::vector<std::string>& buttonCaptions, int x = -1, int y = -1,
               int escapeResult = mrNone);
// What Esc gives when the caller names nothing: Cancel, else No, else OK, else the only
// button; mrNone (Esc ignored) for any other set.
int defaultEscapeResult(unsigned buttons);
// The platform's error box with one Cancel button ("Abbrechen"), centred.
void errorBoxCancel(const std::string& text, const std::string& caption = "Fehler");
// The save dialog's question before a file that exists is replaced (the dialog asks it, and a
// command asks it for a name it extended after the dialog): true for Yes.
bool confirmReplace(const std::string& path);
bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value);

// The standard German caption of a button ("&Ja", "&Nein", "OK", "Abbrechen", ...).
std::string buttonCaption(Button b);
// The standard caption of a message type ("Warnung", "Fehler", "Information", "Bestätigen").
std::string typeCaption(MsgType t);

}  // namespace dialogs
