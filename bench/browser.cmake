# bench_browser: the remote-action tree and the attribute view of tvn on a
# generated directory, through the real directory control: expanding and
# sorting a level of 10k and 100k children, opening it again, and filling
# the attribute view with 20 checked attributes; with --ldap the same on a
# private slapd, and a name search beside ldapsearch.
tvn_add_window_bench(bench_browser ${CMAKE_CURRENT_LIST_DIR}/browser/bench_browser.cpp)
target_link_libraries(bench_browser PRIVATE platform_registry)
target_compile_definitions(bench_browser PRIVATE TVN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
