// Where the workstation database goes when no folder is given: beside a
// program whose folder may be written, else in the user's data folder, which
// is made private to the user.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/shell/Paths.h"

namespace {

constexpr uid_t kNobody = 65534;

// Runs the check as a user who may not write what root may: in a child that
// drops root's rights, or right here for any other user. Returns the value
// the check gave, through a pipe.
std::string asOrdinaryUser(const std::function<QString()>& check) {
    if (geteuid() != 0) return check().toStdString();
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::string answer = "could not drop rights";
        if (setgid(kNobody) == 0 && setuid(kNobody) == 0) answer = check().toStdString();
        [[maybe_unused]] const ssize_t n = write(fds[1], answer.data(), answer.size());
        _exit(0);
    }
    close(fds[1]);
    std::string answer;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, n);
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return answer;
}

class DatabaseFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        // Readable and passable for the user the checks run as.
        chmod(work.path().toLocal8Bit().constData(), 0777);
        program = work.path() + "/bin";
        ASSERT_TRUE(QDir().mkpath(program));
        home = work.path() + "/home";
        ASSERT_TRUE(QDir().mkpath(home));
        chmod(home.toLocal8Bit().constData(), 0777);
        oldHome = qgetenv("HOME");
        oldData = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", home.toLocal8Bit());
        qunsetenv("XDG_DATA_HOME");
    }
    void TearDown() override {
        qputenv("HOME", oldHome);
        if (oldData.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", oldData);
    }
    static mode_t modeOf(const QString& path) {
        struct stat st {};
        stat(path.toLocal8Bit().constData(), &st);
        return st.st_mode & 07777;
    }

    QTemporaryDir work;
    QString program, home;
    QByteArray oldHome, oldData;
};

TEST_F(DatabaseFolder, IsTheProgramsFolderWhileItMayBeWritten) {
    chmod(program.toLocal8Bit().constData(), 0777);
    const QString dir = program;
    EXPECT_EQ(asOrdinaryUser([&] { return tvn::defaultDatabaseDirectory(dir); }),
              program.toStdString());
    EXPECT_FALSE(QDir(home + "/.local/share/tolvane").exists()) << "nothing is made beside";
}

TEST_F(DatabaseFolder, OfAProgramInAFolderItMayNotWriteIsAPrivateFolderInTheUsersData) {
    chmod(program.toLocal8Bit().constData(), 0555);
    const QString dir = program;
    const QString expected = home + "/.local/share/tolvane";
    EXPECT_EQ(asOrdinaryUser([&] { return tvn::defaultDatabaseDirectory(dir); }),
              expected.toStdString());
    ASSERT_TRUE(QDir(expected).exists());
    EXPECT_EQ(modeOf(expected), 0700u);
    // A second run finds it as it is.
    EXPECT_EQ(asOrdinaryUser([&] { return tvn::defaultDatabaseDirectory(dir); }),
              expected.toStdString());
}

TEST_F(DatabaseFolder, FollowsXdgDataHomeAndIgnoresARelativeOne) {
    chmod(program.toLocal8Bit().constData(), 0555);
    const QString dir = program;
    const QString data = work.path() + "/data";
    qputenv("XDG_DATA_HOME", data.toLocal8Bit());
    ASSERT_TRUE(QDir().mkpath(data));
    chmod(data.toLocal8Bit().constData(), 0777);
    EXPECT_EQ(asOrdinaryUser([&] { return tvn::defaultDatabaseDirectory(dir); }),
              (data + "/tolvane").toStdString());
    qputenv("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(asOrdinaryUser([&] { return tvn::defaultDatabaseDirectory(dir); }),
              (home + "/.local/share/tolvane").toStdString());
}

TEST_F(DatabaseFolder, StaysWithTheProgramsFolderWhenNoDataFolderCanBeMade) {
    chmod(program.toLocal8Bit().constData(), 0555);
    chmod(home.toLocal8Bit().constData(), 0555);
    const QString dir = program;
    EXPECT_EQ(asOrdinaryUser([&] { return tvn::defaultDatabaseDirectory(dir); }),
              program.toStdString());
}

}  // namespace
