# bench_search: "*" typed into tvn's name box on a generated directory of a
# million entries; the result list's first rows, its stalls and its memory.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(bench_search
    ${CMAKE_CURRENT_LIST_DIR}/search/bench_search.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/generator.cpp)
target_link_libraries(bench_search PRIVATE tvn_app platform_automation Qt6::Widgets)
target_compile_definitions(bench_search PRIVATE KDDIR_LIBRARY="$<TARGET_FILE:kddir>")
add_dependencies(bench_search kddir)
