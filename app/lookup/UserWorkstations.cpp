// A user's addresses, the database read for a lookup, and the items of the
// workstations in use.
#include "app/lookup/UserWorkstations.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/actions/UNCtoDOTConversion.h"
#include "app/lookup/DatabaseFile.h"
#include "app/lookup/DatabaseIndex.h"
#include "app/lookup/DatabaseRecords.h"
#include "app/lookup/KDDirCtrl.h"
#include "app/lookup/WorkstationDatabase.h"
#include "app/shell/Paths.h"
#include "app/shell/RuntimeError.h"
#include "app/shell/frmMain.h"
#include "platform/forms/keyedlistview.h"
#include "platform/forms/services.h"
#include "platform/forms/tabstrip.h"

namespace tvn {

namespace fs = std::filesystem;

namespace {

RuntimeError readError(int number, const fs::path& file, int error) {
    return RuntimeError(number, "Cannot read " + file.string() + ": " + std::strerror(error));
}

void showDatabaseMissing(frmMain& form, int number) {
    form.services().msgBox(
        QString(number == err::kPathNotFound ? "Could not find path of Workstation Database File!"
                                             : "Could not find Workstation Database File!") +
            "\r\n\r\nThe Workstation Database File needs to be placed in\r\n"
            "the same directory as the application's executable!\r\n\r\n"
            "Please create a new Workstation Database File",
        platform::forms::msgbox::kCritical, "Warning!");
    form.TabStrip->select(2);
    form.TabStripSettings->select(4);
    form.setStatusText("");
}

}  // namespace

QStringList networkAddresses(const KDDirEntry& user) {
    try {
        return user.GetFieldValue("Network Address");
    } catch (...) {
        if (errorNumber(std::current_exception()) != err::kNoSuchFieldType) throw;
        return {QString()};
    }
}

// Opens the database file of the run and hands it to read, closing it after.
template <class Read>
auto withDatabaseFile(const frmMain& form, Read&& read) {
    const fs::path file = localPath(databaseFileName(form));
    const int fd = openDatabaseFile(file);
    if (fd < 0) {
        const int error = errno;
        std::error_code ec;
        const bool folderExists = fs::is_directory(file.parent_path(), ec);
        if (error == ENOENT && folderExists) throw readError(err::kFileNotFound, file, error);
        if (error == ENOENT || error == ENOTDIR) throw readError(err::kPathNotFound, file, error);
        throw readError(err::kPathFileAccess, file, error);
    }
    try {
        auto result = read(fd, file);
        ::close(fd);
        return result;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

std::string readDatabase(const frmMain& form) {
    return withDatabaseFile(form, readDatabaseFile);
}

std::shared_ptr<const DatabaseIndex> readIndexedDatabase(const frmMain& form) {
    return withDatabaseFile(form, indexedDatabase);
}

std::shared_ptr<const DatabaseIndex> openDatabase(frmMain& form) {
    try {
        return readIndexedDatabase(form);
    } catch (...) {
        const auto failure = std::current_exception();
        const int number = errorNumber(failure);
        if (number == err::kFileNotFound || number == err::kPathNotFound)
            showDatabaseMissing(form, number);
        else
            form.reportFailure("Could not read the Workstation Database File: " +
                               QString::fromStdString(errorDescription(failure)));
        form.setMousePointer(platform::forms::pointer::kDefault);
        return nullptr;
    }
}

std::optional<QString> workstationFor(const DatabaseIndex& database, std::string_view key) {
    const auto found = database.findWorkstation(key);
    if (!found) return std::nullopt;
    return QString::fromUtf8(found->data(), static_cast<qsizetype>(found->size()));
}

void addWorkstationItem(frmMain& form, const DatabaseIndex& database, std::string_view key,
                        const QString& addressValue) {
    platform::forms::KeyedListView& list = *form.lstMultiple;
    if (const std::optional<QString> workstation = workstationFor(database, key)) {
        if (list.row(*workstation) >= 0) return;
        QString dotted = *workstation;
        UNCtoDOTConversion::ConvertUNCtoDOT(dotted);
        list.addItem(*workstation, dotted, "Workstation");
    } else {
        list.addItem({}, "Workstation not in database: " + addressValue, "Workstation");
    }
}

}  // namespace tvn
