# bench_save_kill: tvn killed (SIGKILL) at random moments while it saves its
# settings, many times over; needs the end-to-end driver of tests/e2e.
if(TARGET tvn_driver)
    find_package(Qt6 REQUIRED COMPONENTS Core)
    find_package(SQLite3 REQUIRED)
    add_executable(bench_save_kill ${CMAKE_CURRENT_LIST_DIR}/settings/bench_save_kill.cpp)
    target_include_directories(bench_save_kill PRIVATE ${PROJECT_SOURCE_DIR}/tests/e2e)
    target_link_libraries(bench_save_kill PRIVATE platform_registry SQLite::SQLite3 Qt6::Core)
    target_compile_definitions(bench_save_kill PRIVATE
        TVN_DRIVER="$<TARGET_FILE:tvn_driver>"
        REGSRV="$<TARGET_FILE:regsrv>"
        KDDIR_LIBRARY="$<TARGET_FILE:kddir>"
        QUILLON_LIBRARY="$<TARGET_FILE:quillon>"
        TVN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    add_dependencies(bench_save_kill tvn_driver regsrv kddir quillon)
endif()

# bench_settings: a settings read and write through the registry store
# against a raw SQLite file with one flat table.
find_package(SQLite3 REQUIRED)
add_executable(bench_settings ${CMAKE_CURRENT_LIST_DIR}/settings/bench_settings.cpp)
target_link_libraries(bench_settings PRIVATE platform_registry SQLite::SQLite3)
