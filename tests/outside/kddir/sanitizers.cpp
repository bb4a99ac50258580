// libldap's TLS layer (GnuTLS) loads a client certificate and its key for
// each connection that shows one and does not free them when the connection
// goes; what they hold is allocated in libtasn1 and libgmp, whose frames end
// the stacks. These tests bind with client certificates on purpose, so those
// allocations are not reported here.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:gnutls_x509_privkey_init\n"
           "leak:gnutls_x509_crt_init\n"
           "leak:libtasn1.so\n"
           "leak:libgmp.so\n";
}
