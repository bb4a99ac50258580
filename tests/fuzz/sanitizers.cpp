// Sanitizer defaults of the fuzz targets, so that a target run by hand finds
// what a run under CTest finds.
//
// ODR: platform_process is linked into both libkdclient.so and the programs
// that use the client (as in tvn itself); the dynamic linker makes the two
// copies one, which AddressSanitizer (clang) still reports. Only definitions
// that really differ (in size) are reported.
//
// Leaks: libldap's schema parser loses a few bytes on some malformed
// definitions (seen with a plain C program under valgrind too); those are
// libldap's, not ours. Telling them from a libldap object that we failed to
// free needs the whole stack of each allocation, which the slow unwinder
// gives at a cost of about seven times the speed. So targets that call
// libldap (FUZZ_LIBLDAP) fuzz with the fast unwinder and without the leak
// check, and their corpus replay under CTest (tests/fuzz/CMakeLists.txt)
// turns both back on through ASAN_OPTIONS: every input a run keeps is
// checked for leaks there.
extern "C" const char* __asan_default_options() {
#ifdef FUZZ_LIBLDAP
    return "detect_odr_violation=1:detect_leaks=0";
#else
    return "detect_odr_violation=1";
#endif
}

extern "C" const char* __lsan_default_suppressions() {
    return "leak:ldap_str2attributetype\n"
           "leak:ldap_str2objectclass\n";
}
