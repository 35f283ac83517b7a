// fontconfig's FcInit keeps a few hundred bytes of its configuration where the leak checker cannot see
// them (a program that only calls FcInit shows the same report). The font lookup needs FcInit, and that
// memory is the library's to keep, so its leak reports are not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
