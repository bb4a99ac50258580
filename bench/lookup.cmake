# bench_lookup: building the workstation database of 100,000 workstations from
# a generated directory through the real directory control, from the file and
# from a private slapd (beside ldapsearch), and resolving a user with two
# addresses that no workstation has in a database of 1,000,000 (beside the
# line-by-line read the index replaced).
tvn_add_window_bench(bench_lookup
    ${CMAKE_CURRENT_LIST_DIR}/lookup/bench_lookup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/generator.cpp)
target_compile_definitions(bench_lookup PRIVATE TVN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
