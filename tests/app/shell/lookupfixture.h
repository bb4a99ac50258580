// The main window on the registered directory control, reading the lookup
// tests' directory (tests/data/lookup/directory.ldif: the tree Corp), with a
// database folder of its own (/dbpath) and FS1 as the console server: for the
// tests of the workstation database, the resolution of users and every route
// to an action.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <filesystem>
#include <string>

#include "directoryfixture.h"
#include "platform/forms/imagecombo.h"
#include "platform/forms/keyedlistview.h"

class LookupTest : public DirectoryTest {
public:
    // A local folder in the platform's form, as /dbpath takes it.
    static QString platformForm(const std::filesystem::path& local) {
        return QString::fromStdString(local.string()).replace('/', '\\');
    }

protected:
    void SetUp() override {
        DirectoryTest::SetUp();
        useDirectory(testsupport::dataDir() / "lookup" / "directory.ldif");
    }

    // Loads and shows the window with the database folder and further options.
    void open(const QString& options = {}) {
        loadAndShow("/dbpath=" + platformForm(dbDir) + " " + options);
        form->cmbServerlist->setCurrentText("FS1");
    }
    std::filesystem::path dbFile() const { return dbDir / "Corp.lst"; }
    void writeDatabase(const std::string& contents) const {
        testsupport::writeFile(dbFile(), contents);
    }
    std::string database() const { return testsupport::readFile(dbFile()); }
    // The database of every workstation of the directory, as a build writes it.
    static std::string fullDatabase() {
        return (
            "\"KTR:\\\\Corp\\Acme\\Sales\\WS01\",\"IPX 0000AC10:00C04F6C8C59:4003\",\"\"\r\n"
            "\"KTR:\\\\Corp\\Acme\\Sales\\WS02\",\"IPX 0000AC10:00A0C9112233:4003\",\"TCP "
            "10.0.0.7\"\r\n"
            "\"KTR:\\\\Corp\\Acme\\IT\\WS50\",\"TCP 10.0.0.50\",\"\"\r\n"
            "\"KTR:\\\\Corp\\Acme\\IT\\WS05\",\"TCP 10.0.0.5\",\"\"\r\n"
            "\"KTR:\\\\Corp\\Acme\\Lab\\LAB01\",\"TCP 10.0.0.9\",\"\"\r\n");
    }
    void writeFullDatabase() const { writeDatabase(fullDatabase()); }
    // The window with the database of every workstation, searching users and
    // workstations (no aliases) from the tree root.
    void openForSearches() {
        writeFullDatabase();
        open();
        form->CheckAlias->setChecked(false);
        form->currentContext = key();
    }
    // Types a name (which clears the sources, as typing does) and searches it.
    void search(const QString& name) {
        form->ImageCombo1->setEditText(name);
        form->treeFlag = form->historyFlag = false;
        form->resultListFlag = false;
        form->cmdRC_Click();
    }

    static QString key(const QString& path = {}) {
        return path.isEmpty() ? QString("KTR:\\\\Corp") : "KTR:\\\\Corp\\" + path;
    }
    // The result list: "text | key | icon" per item.
    QStringList items() const {
        QStringList out;
        const platform::forms::KeyedListView& list = *form->lstMultiple;
        for (int i = 0; i < list.count(); ++i)
            out << list.textAt(i) + " | " + list.keyAt(i) + " | " + list.smallIconAt(i);
        return out;
    }
    // The console command lines started so far, as the workstation's dotted
    // name and the action ("WS01.Sales.Acme Remote Control").
    QStringList started() const {
        QStringList out;
        for (const QString& line : rec.programs->started) {
            const QStringList quoted = line.split('"');
            out << (quoted.size() > 5 ? quoted[1] + " " + quoted[5] : line);
        }
        return out;
    }

    // A double click as the mouse makes it: press, release, the second press
    // (which arrives as a double click) and its release.
    static void doubleClickAt(QWidget* widget, QPoint at) {
        QTest::mouseClick(widget, Qt::LeftButton, {}, at);
        QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    }

    std::filesystem::path dbDir = testsupport::freshDir("db");

private:
    testsupport::ScopedEnv source_{"KDDIR_SOURCE",
                                   (testsupport::dataDir() / "lookup" / "directory.ldif").string()};
};
