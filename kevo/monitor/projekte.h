// Projects: a project is a settings file ProjectDir + name + ".kvo" with a log folder
// ProjectDir + name + "/" beside it. The four project commands are methods of TF_IIcCtrl
// (miNewProjektClick, miOpenProjClick, miSaveProjClick, miSaveProjAsClick), defined in
// projekte.cpp; this header holds the folder rules they share. No Qt; GUI thread.
#pragma once

#include <string>

// The texts of the project commands.
extern const char* const SaveChangesQuestion;  // "Änderungen nicht gespeichert!  Dateien speichern?"
extern const char* const InvalidProjectNameText;
extern const char* const ProjectExistsQuestion;

// Empties a log folder the way the project commands do: deletes every plain file directly
// inside dir that a "*.*" search without special attributes would find. Hidden files (names
// beginning with "."), read-only files, sub-folders and symbolic links stay. A dir that is
// itself a symbolic link, or no folder at all, is left alone, so nothing outside it is ever
// touched. Failures are ignored. Returns the number of files deleted.
int emptyLogFolder(const std::string& dir);

// The file name of path without its extension: up to (not including) its last ".", so that
// "v1.2.kvo" is project "v1.2" as New names it; "" for ".kvo".
std::string projectNameOf(const std::string& path);

// The directory part of path with its trailing "/" ("" for a bare name).
std::string directoryOf(const std::string& path);

// Both name the same existing folder (or, when either does not exist, the same text).
bool sameFolder(const std::string& a, const std::string& b);
