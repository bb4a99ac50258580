# bench_schema: how long schemas of hostile and of real shapes take to load.
add_executable(bench_schema ${CMAKE_CURRENT_LIST_DIR}/schema/bench_schema.cpp)
target_link_libraries(bench_schema PRIVATE outside_directory)
