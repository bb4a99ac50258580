# Quillon, the session control: libquillon.so (its platform name is
# "QUILLON.OCX"), an in-process automation server over the network client.
# quillon_core holds everything but the server's entry points, so that tests
# can also reach the control's internals directly.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(quillon_core STATIC
    errors.cpp namepath.cpp notices.cpp glyph.cpp client.cpp netnames.cpp drives.cpp ports.cpp
    loginrequest.cpp control.cpp typelib.cpp browserimages.cpp proppages.cpp)
target_include_directories(quillon_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(quillon_core
    PUBLIC platform_automation platform_framework outside_client Qt6::Widgets
    PRIVATE platform_process platform_text)

add_library(quillon SHARED server.cpp)
target_link_libraries(quillon PRIVATE quillon_core)
