// Test main for executables that drive widgets: a QApplication on the
// offscreen platform, created after the private home is in place.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>

#include "testsupport/testsupport.h"

int main(int argc, char** argv) {
    testsupport::setUpPrivateHome();
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleMock(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    testsupport::tearDownPrivateHome();
    return result;
}
