#include "programpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "utf8text.h"

const char* const BuildTreeMarker = KEVO_BUILD_TREE_MARKER;

namespace {

std::string& programFileOverride() {
    static std::string path;
    return path;
}

// The program file as an absolute path.
std::string absoluteProgramFile() {
    return QFileInfo(q(programFilePath())).absoluteFilePath().toStdString();
}

}  // namespace

std::string withSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

std::string fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string dataFolderOf(const std::string& dataDir, const std::string& projectDir) {
    return dataDir.empty() ? projectDir : withSlash(dataDir);
}

std::string userDataDirectoryOf(const std::string& xdgDataHome, const std::string& home) {
    const std::string data = xdgDataHome.empty() ? withSlash(home) + ".local/share" : xdgDataHome;
    return withSlash(withSlash(data) + "kevo");
}

std::string programDirectoryOf(const std::string& programFile, bool dataBeside,
                               const std::string& userDataDir) {
    if (!dataBeside) return userDataDir;
    const auto slash = programFile.find_last_of('/');
    return slash == std::string::npos ? std::string() : programFile.substr(0, slash + 1);
}

std::string configFileOf(const std::string& programDir, const std::string& programFile) {
    std::string name = fileNameOf(programFile);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return programDir + name + ".cfg";
}

std::string defaultProjectDirOf(const std::string& programDir) {
    return programDir + "Data/";
}

std::string programFilePath() {
    if (!programFileOverride().empty()) return programFileOverride();
    return QCoreApplication::applicationFilePath().toStdString();
}

void setProgramFilePath(const std::string& path) {
    programFileOverride() = path;
}

std::string programDirectory() {
    const std::string exe = absoluteProgramFile();
    const QString dir = QFileInfo(q(exe)).absolutePath();
    const bool beside =
        QFileInfo(dir).isWritable() && QFileInfo(QDir(dir).filePath(BuildTreeMarker)).isFile();
    const std::string userData = userDataDirectoryOf(qEnvironmentVariable("XDG_DATA_HOME").toStdString(),
                                                     QDir::homePath().toStdString());
    const std::string result = programDirectoryOf(exe, beside, userData);
    if (!beside) QDir().mkpath(q(result));
    return result;
}

std::string configFilePath() {
    return configFileOf(programDirectory(), absoluteProgramFile());
}
