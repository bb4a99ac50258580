// Test main for executables without widgets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

int main(int argc, char** argv) {
    testsupport::setUpPrivateHome();
    ::testing::InitGoogleMock(&argc, argv);
    const int result = RUN_ALL_TESTS();
    testsupport::tearDownPrivateHome();
    return result;
}
