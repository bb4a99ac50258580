// Path translation for tvn.
#include "app/shell/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "outside/client/resolver.h"

namespace tvn {

namespace pp = platform::process;
namespace fs = std::filesystem;

namespace {

class NetworkPathResolver : public pp::PathResolver {
public:
    std::optional<fs::path> volumeRoot(std::string_view server,
                                       std::string_view volume) const override {
        if (auto root = client_->volumeRoot(server, volume)) return root;
        return networkRoot_.volumeRoot(server, volume);
    }
    std::optional<fs::path> driveRoot(char letter) const override {
        return client_->driveRoot(letter);
    }

private:
    std::shared_ptr<const pp::PathResolver> client_ = outside::client::makePathResolver();
    pp::DefaultPathResolver networkRoot_;
};

}  // namespace

fs::path localPath(const QString& platformPath) {
    return pp::toLocalPath(platformPath.toStdString());
}

QString helpFilePath(const QString& programDir) {
    const QString beside = QString::fromStdString(localPath(programDir + "\\Tvn.hlp").string());
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = QDir::cleanPath(programDir + "/../share/tolvane/Tvn.hlp");
    return QFileInfo::exists(installed) ? installed : beside;
}

QString defaultDatabaseDirectory(const QString& programDir) {
    if (::access(QFile::encodeName(programDir).constData(), W_OK) == 0) return programDir;
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    // Relative values are to be ignored, as the base directory rules say.
    if (data.isEmpty() || QDir::isRelativePath(data)) data = QDir::homePath() + "/.local/share";
    const QString folder = QDir::cleanPath(data + "/tolvane");
    std::error_code error;
    fs::create_directories(QFile::encodeName(QDir::cleanPath(data)).constData(), error);
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) return programDir;
    if (::access(path.constData(), W_OK) != 0) return programDir;
    return folder;
}

std::shared_ptr<const pp::PathResolver> networkPathResolver() {
    return std::make_shared<const NetworkPathResolver>();
}

}  // namespace tvn
