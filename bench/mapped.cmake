# bench_mapped: directories read through a mapping beside the same entries
# in our classes: loading the standard export against the ktr file, a level
# of 10k workstations through the directory control on slapd (standard) and
# slapd (ktr), and, where Samba is installed, a level of 10k computers on
# its domain controller beside ldapsearch and the parse of its subschema.
tvn_add_window_bench(bench_mapped
    ${CMAKE_CURRENT_LIST_DIR}/mapped/bench_mapped.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/generator.cpp)
target_link_libraries(bench_mapped PRIVATE platform_registry outside_directory)
target_compile_definitions(bench_mapped PRIVATE TVN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
