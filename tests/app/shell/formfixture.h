// A main window built with recording services and fake components, loaded
// and shown offscreen, for the widget tests of tvn. Every test starts as a
// first run: the program's stored settings are removed before it.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <optional>
#include <string>

#include "app/shell/frmMain.h"
#include "fakeobjects.h"
#include "fakeservices.h"
#include "platform/registry/settings.h"
#include "platform/registry/store.h"

class FormTest : public ::testing::Test {
protected:
    void SetUp() override { platform::registry::Store().deleteKey(kProgramKey); }

    static constexpr const char* kProgramKey = "Software\\Application Settings\\Tolvane";

    fakes::Recorders rec;
    fakes::FakeObjects objects;
    std::unique_ptr<tvn::frmMain> form;

    // Builds and loads the window with a command line; the session control
    // offers FS1 by default.
    tvn::frmMain::LoadResult load(const QString& commandLine = {}) {
        if (!objects.servers) objects.servers = std::vector<std::string>{"FS1"};
        form = std::make_unique<tvn::frmMain>(rec.services(), objects.factory());
        form->commandLine = commandLine;
        return form->Form_Load();
    }
    void loadAndShow(const QString& commandLine = {}) {
        load(commandLine);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    // Closes the window (its shutdown runs) and starts the program again with
    // the same components, as a new run.
    tvn::frmMain::LoadResult restart(const QString& commandLine = {}) {
        if (form) form->close();
        form.reset();
        auto prepare = objects.prepare;
        auto servers = objects.servers;
        const bool real = objects.realDirectory;
        objects = fakes::FakeObjects();
        objects.prepare = prepare;
        objects.servers = servers;
        objects.realDirectory = real;
        return load(commandLine);
    }
    fakes::FakeDirectory& directory(size_t index) { return *objects.directories.at(index); }
    // Gives every directory control from now on the containers Acme and
    // Acme\Sales below the tree root of CorpTree.
    void withContainers() {
        objects.prepare = [](fakes::FakeDirectory& d) {
            d.entries["KTR:\\\\CorpTree\\Acme"] = "Organization";
            d.entries["KTR:\\\\CorpTree\\Acme\\Sales"] = "Organizational Unit";
        };
    }
    // Makes every directory control from now on know the field type of the
    // newer console generation.
    void newerConsoles() {
        objects.prepare = [](fakes::FakeDirectory& d) {
            d.fieldTypes = {"RK:Harbex File Transfer"};
        };
    }

public:
    // The store as another process sees it.
    static std::optional<std::string> stored(const std::string& section, const std::string& key) {
        platform::registry::Store store;
        return store.value(std::string(kProgramKey) + "\\" + section, key);
    }
    static void store(const std::string& section, const std::string& key,
                      const std::string& value) {
        platform::registry::Store store;
        platform::registry::Settings(store).save("Tolvane", section, key, value);
    }
    static platform::registry::Settings::Pairs storedSection(const std::string& section) {
        platform::registry::Store store;
        return platform::registry::Settings(store).section("Tolvane", section);
    }
};

// Waits until a condition holds (widget geometry settles through events).
template <typename F>
bool eventually(F condition) {
    return QTest::qWaitFor(condition, 2000);
}
