// The main window on the registered directory control, reading a directory
// file the test chooses, with the fake session control and the recording
// services; every call tvn makes of a directory control is recorded. The
// test target defines KDDIR_LIBRARY.
#pragma once

#include <filesystem>
#include <memory>

#include "formfixture.h"
#include "platform/automation/create.h"
#include "testsupport/testsupport.h"

class DirectoryTest : public FormTest {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(platform::automation::loadServer(KDDIR_LIBRARY).registerServer(), 0);
    }
    void SetUp() override {
        FormTest::SetUp();
        objects.realDirectory = true;
    }

    // The directory file the controls read from now on.
    void useDirectory(const std::filesystem::path& file) {
        source_.reset();
        source_ = std::make_unique<testsupport::ScopedEnv>("KDDIR_SOURCE", file.string());
    }

private:
    std::unique_ptr<testsupport::ScopedEnv> source_;
};
