# bench_startup: tvn from the start of its process to the main window shown,
# on a generated directory of a million entries.
tvn_add_window_bench(bench_startup
    ${CMAKE_CURRENT_LIST_DIR}/startup/bench_startup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/generator.cpp)
target_compile_definitions(bench_startup PRIVATE QUILLON_LIBRARY="$<TARGET_FILE:quillon>")
add_dependencies(bench_startup quillon)
