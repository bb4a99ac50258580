# bench_browser: the remote-action tree and the attribute view of tvn on a
# generated directory, through the real directory control: expanding and
# sorting a level of 10k and 100k children, opening it again, and filling
# the attribute view with 20 checked attributes; with --ldap the same on a
# private slapd, and a name search beside ldapsearch.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(bench_browser ${CMAKE_CURRENT_LIST_DIR}/browser/bench_browser.cpp)
target_link_libraries(bench_browser PRIVATE tvn_app platform_automation platform_registry
    Qt6::Widgets)
target_compile_definitions(bench_browser PRIVATE KDDIR_LIBRARY="$<TARGET_FILE:kddir>"
    TVN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_dependencies(bench_browser kddir)
