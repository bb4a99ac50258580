# bench_lookup: building the workstation database of 100,000 workstations from
# a generated directory through the real directory control, and resolving a
# user with two addresses that no workstation has (the whole file is read).
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(bench_lookup
    ${CMAKE_CURRENT_LIST_DIR}/lookup/bench_lookup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/generator.cpp)
target_link_libraries(bench_lookup PRIVATE tvn_app platform_automation Qt6::Widgets)
target_compile_definitions(bench_lookup PRIVATE KDDIR_LIBRARY="$<TARGET_FILE:kddir>")
add_dependencies(bench_lookup kddir)
