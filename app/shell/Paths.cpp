// Path translation for tvn.
#include "app/shell/Paths.h"

#include <QDir>
#include <QFileInfo>

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

std::shared_ptr<const pp::PathResolver> networkPathResolver() {
    return std::make_shared<const NetworkPathResolver>();
}

}  // namespace tvn
