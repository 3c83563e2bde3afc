// The project commands of the main window: new, open, save and save as.
#include "projekte.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <cctype>
#include <climits>
#include <cstdlib>

#include "capturestore.h"
#include "configfile.h"
#include "dialogseam.h"
#include "iicctrlu.h"
#include "logfiles.h"
#include "numbertext.h"
#include "programpaths.h"
#include "projectsettings.h"

const char* const SaveChangesQuestion = "Änderungen nicht gespeichert!  Dateien speichern?";
const char* const InvalidProjectNameText =
    "Ungültige(s) Zeichen im Projektnamen.\n Nicht zulässig sind: \\ / : * ? \" < > |. ";
const char* const ProjectExistsQuestion = "Projekt existiert bereits!\nSoll es ersetzt werden?";

namespace {

const char* const kOpenFilter = "Parvelo/Monitor-Projekt|*.kvo";
const char* const kSaveFilter = "Parvelo/Analyzer-Projekt|*.kvo";
const char* const kProjectExt = "kvo";

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// A real folder, not a symbolic link to one.
bool isRealFolder(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void makeFolder(const std::string& dir) {
    (void)::mkdir(dir.c_str(), 0777);  // it may exist already: that is fine
}

// The save question of new and open. Yes saves the modified log and project; false when the
// command must end: Cancel, or a save that failed (nothing is discarded unsaved then).
bool askSaveChanges(TF_IIcCtrl& w) {
    const int answer = dialogs::messageDlgPos(SaveChangesQuestion, dialogs::MsgType::Warning,
                                              dialogs::mbYes | dialogs::mbNo | dialogs::mbCancel, w.boxX(),
                                              w.boxY(), dialogs::mrCancel);
    if (answer == dialogs::mrNo) return true;
    if (answer != dialogs::mrYes) return false;
    if (w.DocFlags & DocLogModified) {
        w.SaveProtokoll(w.LogPath);
        if (!w.lastSaveOk()) return false;
    }
    if (w.DocFlags & DocProjectModified) {
        if (!SaveProjectFile(w.ProjectPath, w)) return false;
    }
    return true;
}

// A loaded project without a log folder saves its logs in the project directory.
void defaultDataDir(const TF_IIcCtrl& w) {
    ProjectSettings.DataDir = dataFolderOf(ProjectSettings.DataDir, w.ProjectDir);
}

void enableSaveProject(TF_IIcCtrl& w, bool enabled) {
    w.miSaveProj->setEnabled(enabled);
    w.TB_SaveProj->setEnabled(enabled);
}

}  // namespace

// --- Folder rules ---

namespace {

bool endsWithProjectExt(const std::string& fileName) {
    static const char ext[] = ".kvo";
    const std::size_t n = sizeof ext - 1;
    if (fileName.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(fileName[fileName.size() - n + i])) != ext[i])
            return false;
    return true;
}

// Another project file than `replaced` in projectDir keeps its logs in the folder `name`.
// A folder that cannot be listed counts as held.
bool heldByAnotherProject(const std::string& projectDir, const std::string& name,
                          const std::string& replaced) {
    DIR* d = ::opendir(projectDir.c_str());
    if (!d) return true;
    bool held = false;
    while (const dirent* e = ::readdir(d)) {
        const std::string file = e->d_name;
        if (file != replaced && endsWithProjectExt(file) && logFolderNameOf(file) == name) held = true;
    }
    ::closedir(d);
    return held;
}

}  // namespace

bool isPlainProjectName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos;
}

std::string logFolderNameOf(const std::string& fileName) {
    return endsWithProjectExt(fileName) ? fileName.substr(0, fileName.size() - 4) : fileName;
}

int emptyLogFolder(const std::string& projectDir, const std::string& name, const std::string& replaced) {
    const std::string folder = withSlash(projectDir) + name;
    if (!isPlainProjectName(name) || !isRealFolder(folder) ||
        heldByAnotherProject(projectDir, name, replaced))
        return 0;
    const std::string base = folder + "/";
    DIR* d = ::opendir(base.c_str());
    if (!d) return 0;
    int deleted = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string file = e->d_name;
        if (file.empty() || file[0] == '.') continue;  // hidden, and "." and ".."
        const std::string path = base + file;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!(st.st_mode & S_IWUSR)) continue;  // read-only files are not deleted
        if (::unlink(path.c_str()) == 0) ++deleted;
    }
    ::closedir(d);
    return deleted;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
        sa.st_ino == sb.st_ino)
        return true;
    char ra[PATH_MAX], rb[PATH_MAX];
    if (::realpath(a.c_str(), ra) && ::realpath(b.c_str(), rb)) return std::string(ra) == rb;
    return a == b;
}

// --- Commands ---

void TF_IIcCtrl::miNewProjektClick() {
    // The tool windows take what is typed into the project it was typed for, before the save,
    // and show the new project's settings once the command is done.
    const SettingsChange change;
    std::string name;
    if (ProjectSettings.AutoSaveProject != 0 && SaveProjectFile(ProjectPath, *this))
        DocFlags &= ~DocProjectModified;
    if ((DocFlags & (DocLogModified | DocProjectModified)) && !askSaveChanges(*this)) return;

    // Every new project starts from the default project with an empty log.
    DocFlags = 0;
    ProjectPath.clear();
    LoadProjectFile(std::string(), *this);
    defaultDataDir(*this);
    LogPath.clear();  // the log is discarded: its file name must not carry over
    ClearProtokoll();
    UpdateFileCommands();

    for (;;) {
        if (!dialogs::inputQuery("Neues Projekt anlegen", "Projektname: ", name)) break;
        if (name.empty()) continue;
        if (HasInvalidNameChar(name)) {
            const int answer = dialogs::messageDlgPos(InvalidProjectNameText, dialogs::MsgType::Error,
                                                      dialogs::mbRetry | dialogs::mbCancel, boxX(), boxY(),
                                                      dialogs::mrCancel);
            if (answer == dialogs::mrRetry) continue;
            break;
        }
        const std::string fileName = name + ".kvo";
        const std::string file = ProjectDir + fileName;
        const std::string folder = ProjectDir + name + "/";
        const bool replacing = exists(file);
        if (replacing) {
            const int answer = dialogs::messageDlgPos(ProjectExistsQuestion, dialogs::MsgType::Warning,
                                                      dialogs::mbYes | dialogs::mbNo | dialogs::mbCancel,
                                                      boxX(), boxY(), dialogs::mrCancel);
            if (answer == dialogs::mrNo) continue;
            if (answer != dialogs::mrYes) break;
        }
        // The new file first, fresh (the replaced one becomes its "~" backup); the log folder
        // is emptied only once the new project exists.
        const std::string defaults = ProjectSettings.DataDir;
        ProjectSettings.DataDir = folder;
        if (SaveNewProjectFile(file, *this)) {
            if (replacing) emptyLogFolder(ProjectDir, name, fileName);
            makeFolder(folder);
            enableSaveProject(*this, false);
        } else {
            // No project file: stay on the default project rather than name a missing file.
            ProjectPath.clear();
            ProjectSettings.DataDir = defaults;
        }
        break;
    }
    UpdateStatus();
}

void TF_IIcCtrl::miOpenProjClick() {
    const SettingsChange change;  // as in the new-project command
    // A project that could not be saved automatically asks like one without automatic
    // saving: its changes are lost only when the user says so.
    if (ProjectSettings.AutoSaveProject != 0 && SaveProjectFile(ProjectPath, *this))
        DocFlags &= ~DocProjectModified;
    if ((DocFlags & DocProjectModified) && !askSaveChanges(*this)) return;
    DocFlags = 0;
    dialogs::Request r;
    r.kind = dialogs::Kind::OpenFile;
    r.filter = kOpenFilter;
    r.defaultExt = kProjectExt;
    r.initialDir = ProjectDir;
    const dialogs::Response a = dialogs::ask(r);
    if (a.result == dialogs::mrOk && !a.value.empty()) {
        ProjectPath = a.value;
        LoadProjectFile(ProjectPath, *this);
        defaultDataDir(*this);
    }
    // The log commands stay as they are: the log is kept, and Save of an unsaved log with it.
    enableSaveProject(*this, false);
    UpdateStatus();
}

void TF_IIcCtrl::miSaveProjClick() {
    if (SaveProjectFile(ProjectPath, *this)) {
        DocFlags &= ~DocProjectModified;
        enableSaveProject(*this, false);
    }
    UpdateStatus();
}

void TF_IIcCtrl::miSaveProjAsClick() {
    dialogs::Request r;
    r.kind = dialogs::Kind::SaveFile;
    r.filter = kSaveFilter;
    r.defaultExt = kProjectExt;
    r.value = ProjectPath;
    r.initialDir = ProjectDir;
    const dialogs::Response a = dialogs::ask(r);
    if (a.result != dialogs::mrOk || a.value.empty()) {
        UpdateStatus();
        return;
    }
    // Every project file gets the project extension: beside a file "a.v2" no log folder
    // "a.v2/" could exist, and Open would not list it.
    const bool extended = !endsWithProjectExt(fileNameOf(a.value));
    const std::string path = extended ? a.value + ".kvo" : a.value;
    const std::string fileName = fileNameOf(path);
    const std::string name = logFolderNameOf(fileName);
    // In the project directory a project keeps its logs in a folder of its own name; a file
    // name that gives no plain name (".kvo", "..kvo") and a project in any other directory
    // keep them in the file's directory itself, which is neither emptied nor created.
    const bool ownFolder = directoryOf(path) == ProjectDir && isPlainProjectName(name);
    const std::string dataDir = directoryOf(path) + (ownFolder ? name + "/" : std::string());
    // The dialog asked about the name it gave back; a name extended here gets its question now.
    // A link that names nothing counts as a file that is there.
    const bool replacing = exists(path);
    if (replacing && extended && !dialogs::confirmReplace(path)) {
        UpdateStatus();
        return;
    }
    // The open project saved under its own file name keeps its logs, wherever they are.
    const bool ownFile = !ProjectPath.empty() && sameFile(path, ProjectPath);

    // The new file first: a project whose file cannot be written keeps its name, its log
    // folder and its changes, and no folder is emptied or created for it.
    const std::string previousPath = ProjectPath;
    const std::string previousDataDir = ProjectSettings.DataDir;
    ProjectSettings.DataDir = dataDir;
    if (!SaveProjectFile(path, *this)) {
        ProjectPath = previousPath;
        ProjectSettings.DataDir = previousDataDir;
        DocFlags |= DocProjectModified;
        enableSaveProject(*this, true);
        UpdateStatus();
        return;
    }
    if (ownFolder) {
        // Only the folder of the project just replaced is reused empty; the current project
        // saved under its own name again keeps its logs, and a folder without its project
        // file is used as it is.
        const bool ownLogs = ownFile || sameFile(dataDir, previousDataDir) ||
                             (!LogPath.empty() && sameFile(directoryOf(LogPath), dataDir));
        if (replacing && !ownLogs) emptyLogFolder(ProjectDir, name, fileName);
        makeFolder(dataDir);
    }
    LogPath.clear();
    const CaptureStore* store = captureStore();
    if (ProjectSettings.LogAutoSave != 0 && store && store->BytesUsed.load() != 0) {
        SaveProtokoll(LogPath);
        if (lastSaveOk()) {
            DocFlags &= ~DocLogModified;
            miSave->setEnabled(false);
            TB_Save->setEnabled(false);
        } else {
            DocFlags |= DocLogModified;
        }
    }
    DocFlags &= ~DocProjectModified;
    enableSaveProject(*this, false);
    UpdateStatus();
}
