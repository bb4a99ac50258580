# bench_search: "*" typed into tvn's name box on a generated directory of a
# million entries; the result list's first rows, its stalls and its memory.
tvn_add_window_bench(bench_search
    ${CMAKE_CURRENT_LIST_DIR}/search/bench_search.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/generator.cpp)
