# tvn: the program's code lives in the library tvn_app, so that tests drive
# the real main window; the executable only starts it. The help file Tvn.hlp
# is copied next to the program, where the help viewer looks for it.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(tvn_app STATIC
    actions/ActionCatalogue.cpp
    actions/ActionMenu.cpp
    actions/DefaultAction.cpp
    actions/RemoteActions.cpp
    actions/UNCtoDOTConversion.cpp
    actions/VersionCheck.cpp
    browser/AttributeView.cpp
    browser/TreeEvents.cpp
    browser/treeExp.cpp
    lookup/DatabaseFile.cpp
    lookup/DatabaseIndex.cpp
    lookup/DatabaseRecords.cpp
    lookup/KDDirCtrl.cpp
    lookup/NameSearch.cpp
    lookup/ReplacementFile.cpp
    lookup/ResultList.cpp
    lookup/UserWorkstations.cpp
    lookup/WorkstationDatabase.cpp
    lookup/checkLogin.cpp
    shell/CommandLine.cpp
    shell/NameHistory.cpp
    shell/Paths.cpp
    shell/Program.cpp
    shell/RegistrySettings.cpp
    shell/RuntimeError.cpp
    shell/ShellProgramStart.cpp
    shell/Startup.cpp
    shell/Validation.cpp
    shell/frmHelpWindow.cpp
    shell/frmMain.cpp
    shell/frmMainLayout.cpp)
target_include_directories(tvn_app PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tvn_app
    PUBLIC platform_forms platform_automation platform_process platform_registry Qt6::Widgets
    PRIVATE outside_client)
target_compile_definitions(tvn_app PRIVATE
    TVN_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    TVN_VERSION_MINOR=${PROJECT_VERSION_MINOR})

add_executable(tvn main.cpp)
target_link_libraries(tvn PRIVATE tvn_app)
add_custom_command(TARGET tvn POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_CURRENT_SOURCE_DIR}/help/Tvn.hlp $<TARGET_FILE_DIR:tvn>/Tvn.hlp)
