# bench_peer: the directory beside slapd on the same generated data: loading
# against slapadd -q, and a prefix search against slapd over loopback, through
# libldap. bench/run runs it where slapd and ldap-utils are installed.
pkg_check_modules(BENCH_LDAP REQUIRED IMPORTED_TARGET ldap lber)
add_executable(bench_peer
    ${CMAKE_CURRENT_LIST_DIR}/peer/bench_peer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directory/generator.cpp)
target_link_libraries(bench_peer PRIVATE outside_directory PkgConfig::BENCH_LDAP)
target_compile_definitions(bench_peer PRIVATE TVN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
