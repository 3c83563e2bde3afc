// The program's paths: the program directory, the configuration file, the default project
// folder and the user data folder of an installed program. The rules are pure functions of their
// inputs; the four functions at the end gather those inputs from the running program.
// No Qt Widgets. Paths are UTF-8 with "/" as separator; directories carry a trailing "/".
#pragma once

#include <string>

// dir with a trailing "/" (an empty text stays empty).
std::string withSlash(std::string dir);
// The file name part of a path (after the last "/").
std::string fileNameOf(const std::string& path);
// The log folder a project names: its data folder with a trailing "/" (a file may store it
// without one), or projectDir when it names none.
std::string dataFolderOf(const std::string& dataDir, const std::string& projectDir);

// The folder of an installed program's data: $XDG_DATA_HOME/kevo/, by default
// <home>/.local/share/kevo/.
std::string userDataDirectoryOf(const std::string& xdgDataHome, const std::string& home);
// The program directory: the directory of programFile (absolute) when the program keeps its
// data beside it, else the user data folder given.
std::string programDirectoryOf(const std::string& programFile, bool dataBeside,
                               const std::string& userDataDir);
// The configuration file: the program's name without its extension, plus ".cfg", in
// programDir.
std::string configFileOf(const std::string& programDir, const std::string& programFile);
// The default project folder: "Data/" in the program directory.
std::string defaultProjectDirOf(const std::string& programDir);

// The file the build writes beside the program in the build folder, and does not install:
// a program with this file in its writable folder keeps its data there; any other copy (an
// installed one, whatever its prefix) keeps them in the user data folder.
extern const char* const BuildTreeMarker;

// The program file: the executable, unless a test points it somewhere else.
std::string programFilePath();
void setProgramFilePath(const std::string& path);  // empty: the executable again
// The program directory of the running program; the user data folder is created when it
// is the one used.
std::string programDirectory();
std::string configFilePath();
