// Number text of the numeric entry fields, project-name check and backup names.
//
// A number text is decimal, or hexadecimal after the prefix "0x" (lower-case x, upper-case
// digits). Fields call LimitNumberText while the user types and ParseNumberText when the
// field is left. GUI thread (no state; any thread may call).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The runtime's conversion error: a text that is not a valid signed 32-bit integer.
// The event loop shows its message (German) in an error box.
class EConvertError : public std::runtime_error {
  public:
    explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

// Strict conversion: optional blanks in front, optional "+"/"-", decimal digits; or "0x"/"0X"/"$"
// followed by hexadecimal digits. Throws EConvertError ("'<text>' ist kein gültiger
// ganzzahliger Wert") when the text is not a number or its value does not fit into int32.
std::int32_t StrToInt(const std::string& text);
// As StrToInt, but gives def instead of throwing.
std::int32_t StrToIntDef(const std::string& text, std::int32_t def);

// Drops every character that is not a digit of the text's mode; upper-cases hex digits.
// Returns true when no digit is left (empty or only "0x").
bool FilterNumberText(std::string& text);
// FilterNumberText, then removes trailing characters while the value exceeds max (max < 1
// counts as 1). Returns true when no digit is left. Throws EConvertError for a value that
// does not fit into int32.
bool LimitNumberText(std::string& text, std::int32_t max);
// The value of the text (leading blanks skipped); 0 when it is not a valid number text.
// Throws EConvertError for a value that does not fit into int32.
std::int32_t ParseNumberText(const std::string& text);

// True when the text holds one of \ " . / : * ? | < > (not allowed in a project name).
bool HasInvalidNameChar(const std::string& text);

// The backup name of a path: mark inserted after the first "." of the file name (never in a
// folder name); a file name without "." gets the mark in front of the file name.
// "/p/a.kvo" -> "/p/a.~kvo"; "/p/x.d/a.b.c" -> "/p/x.d/a.~b.c"; "/p/run" -> "/p/~run".
std::string BackupName(const std::string& path, char mark = '~');

// Moves an existing file to its "~" name, replacing an older backup. Never reports a
// failure: a file that could not be moved stays where it is. Only a regular file (not a
// link) the user may write is moved, and only onto a missing name or such a file.
void MakeBackupFile(const std::string& path);

// The "~" backup name for a save of path: beside the file the save replaces (the file a link
// at path names), marked again while that name is one of taken or holds anything that
// mayReplace refuses (a folder, a link, a device, a protected file); empty when eight marks
// do not give one, or when a link at path names nothing.
std::string freeBackupName(const std::string& path, const std::vector<std::string>& taken = {});
