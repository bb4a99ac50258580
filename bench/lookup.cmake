# bench_lookup: building the workstation database of 100,000 workstations from
# a generated directory through the real directory control, and resolving a
# user with two addresses that no workstation has (the whole file is read).
tvn_add_window_bench(bench_lookup
    ${CMAKE_CURRENT_LIST_DIR}/lookup/bench_lookup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/generator.cpp)
