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

// The one guard of every command that empties a folder. It empties projectDir + name + "/"
// only when name is a plain project name, the folder is a real folder (not a symbolic link)
// and no project file in projectDir other than `replaced` (the file name of the project being
// replaced) keeps its logs there. Emptying deletes every plain file directly inside the
// folder that a "*.*" search without special attributes would find: hidden files (names
// beginning with "."), read-only files, sub-folders and links stay. Failures are ignored.
// Returns the number of files deleted.
int emptyLogFolder(const std::string& projectDir, const std::string& name, const std::string& replaced);

// A name that stays directly inside the folder it is joined to: not empty, no leading "."
// (so neither "." nor ".."), no "/".
bool isPlainProjectName(const std::string& name);

// The name of the log folder that belongs to a project file name: the name without its
// ".kvo" extension (compared without regard to case), so that "v1.2.kvo" is "v1.2" and
// "A.KVO" is "A"; "" for ".kvo".
std::string logFolderNameOf(const std::string& fileName);

// The directory part of path with its trailing "/" ("" for a bare name).
std::string directoryOf(const std::string& path);

// Both name the same existing file or folder: the same device and inode, or the same resolved
// path (the same text when either does not exist).
bool sameFile(const std::string& a, const std::string& b);
