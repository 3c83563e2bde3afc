// Reader and writer of the configuration file and the project files.
//
// LoadProjectFile fills ProjectSettings from a project file (or the configuration file when no
// project is named) and places the windows; SaveProjectFile writes the record, the window
// positions and the project's identity, plus the configuration file's [Projekt] and [RAFU].
// Backups: a "~" copy before a file is overwritten, restored when the file has vanished; a
// file lacking one of the required keys is set aside under a "!" name (backup rule of
// numbertext.h). Files are opened per call and closed before it returns. GUI thread only.
#pragma once

#include <string>

// What the reader and writer need of the main window: the windows' geometry, the tools'
// check marks, the main window's paths and the adapter's short serial number. The main window
// implements it; tests use a plain struct. Positions and sizes are screen pixels.
class ProjectFileHost {
  public:
    enum Form { MainForm = 0, ScanForm = 1, BusForm = 2, MemoryForm = 3 };

    virtual ~ProjectFileHost() = default;

    virtual int formLeft(Form f) const = 0;
    virtual int formTop(Form f) const = 0;
    virtual int formWidth(Form f) const = 0;  // a tool window's is asked to keep it on the screen
    virtual int formHeight(Form f) const = 0;
    virtual bool formVisible(Form f) const = 0;  // tool windows only
    virtual void setFormLeft(Form f, int left) = 0;
    virtual void setFormTop(Form f, int top) = 0;
    virtual void setFormWidth(Form f, int width) = 0;
    virtual void setFormHeight(Form f, int height) = 0;
    // The screen the windows are placed on, in the same pixels; false when none is known (the
    // positions and sizes are then taken as they stand).
    virtual bool screenArea(int& left, int& top, int& width, int& height) const {
        (void)left, (void)top, (void)width, (void)height;
        return false;
    }
    // Check mark of miScanTool / miBusTool / miMemTool; the caller shows or hides the windows.
    virtual void setToolChecked(Form f, bool checked) = 0;

    // The program's configuration file (program path with ".cfg").
    virtual std::string configPath() const = 0;
    // Project base directory, with a trailing "/".
    virtual std::string projectDir() const = 0;
    // Current project file; empty = no project (the configuration file holds the settings).
    virtual std::string projectPath() const = 0;
    virtual void setProjectPath(const std::string& path) = 0;
    // Last four characters of the adapter's serial number, "----" when not identified.
    virtual std::string shortSerial() const = 0;
};

// Written as [Version] PC into every project file.
extern const char* const ProjectFileVersion;  // "KEVO Projekt V1.0"

// Reads name (empty: the configuration file) into ProjectSettings and the host's windows and
// check marks; sets the host's project path to name, or to empty when nothing could be read.
void LoadProjectFile(const std::string& name, ProjectFileHost& host);

// Writes name (empty: the configuration file) and the configuration file in one save, with
// what the windows that show the record hold typed (SettingsChange). On failure shows the
// error box "Projektdatei konnte nicht geschrieben werden" and returns false; neither file
// has then changed.
bool SaveProjectFile(const std::string& name, ProjectFileHost& host);
// As SaveProjectFile for a named project, into a fresh file: nothing of a file it replaces
// (which keeps its "~" backup) is kept.
bool SaveNewProjectFile(const std::string& name, ProjectFileHost& host);
