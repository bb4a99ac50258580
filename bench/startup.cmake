# bench_startup: tvn from the start of its process to the main window shown,
# on a generated directory of a million entries.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(bench_startup
    ${CMAKE_CURRENT_LIST_DIR}/startup/bench_startup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/generator.cpp)
target_link_libraries(bench_startup PRIVATE tvn_app platform_automation Qt6::Widgets)
target_compile_definitions(bench_startup PRIVATE KDDIR_LIBRARY="$<TARGET_FILE:kddir>"
    QUILLON_LIBRARY="$<TARGET_FILE:quillon>")
add_dependencies(bench_startup kddir quillon)
