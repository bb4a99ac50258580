# bench_directory: loading, memory and search speed of outside_directory on
# generated directories of 100k and 1M entries.
add_executable(bench_directory
    ${CMAKE_CURRENT_LIST_DIR}/directory/bench_directory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/generator.cpp)
target_link_libraries(bench_directory PRIVATE outside_directory)
