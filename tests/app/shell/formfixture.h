// A main window built with recording services and fake components, loaded
// and shown offscreen, for the widget tests of tvn.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "app/shell/frmMain.h"
#include "fakeobjects.h"
#include "fakeservices.h"

class FormTest : public ::testing::Test {
protected:
    fakes::Recorders rec;
    fakes::FakeObjects objects;
    std::unique_ptr<tvn::frmMain> form;

    // Builds and loads the window; the session control offers FS1 by default.
    tvn::frmMain::LoadResult load() {
        if (!objects.servers) objects.servers = std::vector<std::string>{"FS1"};
        form = std::make_unique<tvn::frmMain>(rec.services(), objects.factory());
        return form->Form_Load();
    }
    void loadAndShow() {
        load();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    fakes::FakeDirectory& directory(size_t index) { return *objects.directories.at(index); }
};

// Waits until a condition holds (widget geometry settles through events).
template <typename F>
bool eventually(F condition) {
    return QTest::qWaitFor(condition, 2000);
}
