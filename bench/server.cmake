# bench_server: tvn on live servers beside ldapsearch -E pr=1000: a level of
# 100k workstations on slapd, "*" on a slapd of 1M entries (first rows, the
# longest stall while scrolling, memory), and a level on Samba's domain
# controller where it is installed.
tvn_add_window_bench(bench_server
    ${CMAKE_CURRENT_LIST_DIR}/server/bench_server.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/generator.cpp)
target_link_libraries(bench_server PRIVATE platform_registry)
target_compile_definitions(bench_server PRIVATE TVN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
