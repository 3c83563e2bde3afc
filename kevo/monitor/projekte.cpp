// The project commands of the main window: new, open, save and save as.
#include "projekte.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <climits>
#include <cstdlib>

#include "capturestore.h"
#include "configfile.h"
#include "dialogseam.h"
#include "iicctrlu.h"
#include "logfiles.h"
#include "numbertext.h"
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
    if (ProjectSettings.DataDir.empty()) ProjectSettings.DataDir = w.ProjectDir;
}

void disableSaveProject(TF_IIcCtrl& w) {
    w.miSaveProj->setEnabled(false);
    w.TB_SaveProj->setEnabled(false);
}

}  // namespace

// --- Folder rules ---

int emptyLogFolder(const std::string& dir) {
    if (!isRealFolder(dir)) return 0;
    std::string base = dir;
    if (base.back() != '/') base += '/';
    DIR* d = ::opendir(base.c_str());
    if (!d) return 0;
    int deleted = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.') continue;  // hidden, and "." and ".."
        const std::string path = base + name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!(st.st_mode & S_IWUSR)) continue;  // read-only files are not deleted
        if (::unlink(path.c_str()) == 0) ++deleted;
    }
    ::closedir(d);
    return deleted;
}

std::string projectNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    return file.substr(0, file.rfind('.'));
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool sameFolder(const std::string& a, const std::string& b) {
    char ra[PATH_MAX], rb[PATH_MAX];
    if (::realpath(a.c_str(), ra) && ::realpath(b.c_str(), rb)) return std::string(ra) == rb;
    return a == b;
}

// --- Commands ---

void TF_IIcCtrl::miNewProjektClick() {
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
        const std::string file = ProjectDir + name + ".kvo";
        const std::string folder = ProjectDir + name + "/";
        if (exists(file)) {
            const int answer = dialogs::messageDlgPos(ProjectExistsQuestion, dialogs::MsgType::Warning,
                                                      dialogs::mbYes | dialogs::mbNo | dialogs::mbCancel,
                                                      boxX(), boxY(), dialogs::mrCancel);
            if (answer == dialogs::mrNo) continue;
            if (answer != dialogs::mrYes) break;
            (void)::unlink(file.c_str());
            if (isRealFolder(folder)) {
                emptyLogFolder(folder);
                (void)::rmdir(folder.c_str());  // fails while anything stayed in it
            }
        }
        const std::string defaults = ProjectSettings.DataDir;
        ProjectSettings.DataDir = folder;
        makeFolder(folder);
        if (SaveProjectFile(file, *this)) {
            disableSaveProject(*this);
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
    if (ProjectSettings.AutoSaveProject != 0) {
        // A project that could not be saved is not replaced: its changes would be lost.
        if (!SaveProjectFile(ProjectPath, *this)) return;
        DocFlags &= ~DocProjectModified;
    } else if ((DocFlags & DocProjectModified) && !askSaveChanges(*this)) {
        return;
    }
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
    disableSaveProject(*this);
    UpdateStatus();
}

void TF_IIcCtrl::miSaveProjClick() {
    if (SaveProjectFile(ProjectPath, *this)) {
        DocFlags &= ~DocProjectModified;
        disableSaveProject(*this);
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
    const std::string previousDataDir = ProjectSettings.DataDir;
    ProjectPath = withDefaultExtension(a.value, kProjectExt);
    std::string dataDir = directoryOf(ProjectPath);
    const std::string name = projectNameOf(ProjectPath);
    // In the project directory a project keeps its logs in a folder of its own name. A file
    // name without a name part (".kvo") gets none: the project directory itself would be
    // emptied.
    if (dataDir == ProjectDir && !name.empty()) {
        dataDir = ProjectDir + name + "/";
        if (isRealFolder(dataDir)) {
            // The folder of another project is reused empty; the current project's own
            // folder (saved under its own name again) keeps its logs.
            const bool ownLogs = sameFolder(dataDir, previousDataDir) ||
                                 (!LogPath.empty() && sameFolder(directoryOf(LogPath), dataDir));
            if (!ownLogs) emptyLogFolder(dataDir);
        } else {
            makeFolder(dataDir);
        }
    }
    ProjectSettings.DataDir = dataDir;
    const bool saved = SaveProjectFile(ProjectPath, *this);
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
    if (saved) {
        DocFlags &= ~DocProjectModified;
        disableSaveProject(*this);
    }
    UpdateStatus();
}
