// A loadable library for the library-loading tests: one entry point.
extern "C" int SampleEntry(int value) {
    return value * 2;
}
