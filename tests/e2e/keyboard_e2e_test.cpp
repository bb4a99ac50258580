// tvn as a process driven by the keyboard only, as a person without a mouse
// uses it: a name typed and searched with Enter, Tab into the result list,
// Shift+F10 for the action menu, an action chosen by its access key, Ctrl+Q
// to close the window. And a run without a display, which says what it needs.
#include "tvnprocess.h"

using namespace e2e;

namespace {

class KeyboardRun : public TvnProcess {
protected:
    QMap<QString, QString> focusAt(const fs::path& file) const {
        QMap<QString, QString> out;
        for (const QString& line :
             QString::fromStdString(testsupport::readFile(file)).split('\n', Qt::SkipEmptyParts))
            out.insert(line.section('=', 0, 0), line.section('=', 1));
        return out;
    }
};

TEST_F(KeyboardRun, TypeSearchOpenTheActionMenuRunAnActionAndQuitWithoutAMouse) {
    save("Settings\\CorpTree", "HB Server", "FS1");
    const fs::path folder = testsupport::freshDir("database");
    const fs::path inList = folder / "in-list.txt";
    const fs::path inMenu = folder / "in-menu.txt";
    const fs::path atEnd = folder / "at-end.txt";
    const QString drive = "type=VossbeckT;key=Return;tabto=lstMultiple;focus=" +
                          QString::fromStdString(inList.string()) +
                          ";key=Shift+F10;focus=" + QString::fromStdString(inMenu.string()) +
                          ";key=H;key=Ctrl+Q;focus=" + QString::fromStdString(atEnd.string());
    // The database is built at start, then the window opens for the keys.
    runToEnd(TVN_DRIVER, {"/dbbuild=KTR:\\\\CorpTree", "/dbpath=" + onDriveZ(folder)}, drive);

    const auto list = focusAt(inList);
    EXPECT_EQ(list["focus"], "lstMultiple");
    EXPECT_EQ(list["selected"], "0") << "Tab into the list chose its item";
    EXPECT_EQ(focusAt(inMenu)["menu"], "mnuMain") << "Shift+F10 opened the action menu";
    EXPECT_EQ(focusAt(atEnd)["closed"], "yes") << "Ctrl+Q closed the window";
    EXPECT_EQ(focusAt(atEnd)["status"], "") << "nothing went wrong";

    EXPECT_TRUE(QTest::qWaitFor([&] { return !consoles().isEmpty(); }, 10000));
    const QStringList started = consoles();
    ASSERT_EQ(started.size(), 1) << started.join('\n').toStdString();
    EXPECT_TRUE(started[0].contains("WS042.Sales.Acme")) << started[0].toStdString();
    EXPECT_TRUE(started[0].endsWith("\t-cChat")) << started[0].toStdString();
    // The shutdown ran: the settings of the tree are saved.
    EXPECT_FALSE(section("Settings\\CorpTree").empty());
}

TEST_F(KeyboardRun, WithoutADisplayTvnSaysWhatItNeedsAndTheUnattendedBuildRunsAnyway) {
    QProcessEnvironment env = environment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    for (const QStringList& arguments : {QStringList{"--help"}, QStringList{"/?"}, QStringList{}}) {
        QProcess tvn;
        tvn.setProcessEnvironment(env);
        tvn.start(TVN_PROGRAM, arguments);
        ASSERT_TRUE(tvn.waitForFinished(30000));
        EXPECT_EQ(tvn.exitStatus(), QProcess::NormalExit) << "no abort inside Qt";
        EXPECT_EQ(tvn.exitCode(), 2) << arguments.join(' ').toStdString();
        const QString err = QString::fromLocal8Bit(tvn.readAllStandardError());
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
        EXPECT_TRUE(err.startsWith("tvn: a display is needed")) << err.toStdString();
        EXPECT_TRUE(err.contains("/dbbuild= with /autoclose")) << err.toStdString();
    }

    const fs::path folder = testsupport::freshDir("database");
    QProcess build;
    build.setProcessEnvironment(env);
    build.start(TVN_PROGRAM, {"/dbbuild=KTR:\\\\CorpTree\\Acme\\Sales", "/autoclose",
                              "/dbpath=" + onDriveZ(folder)});
    ASSERT_TRUE(build.waitForFinished(60000));
    EXPECT_EQ(build.exitCode(), 0) << build.readAllStandardError().toStdString();
    EXPECT_NE(testsupport::readFile(folder / "CorpTree.lst").find("WS042"), std::string::npos);
}

}  // namespace
