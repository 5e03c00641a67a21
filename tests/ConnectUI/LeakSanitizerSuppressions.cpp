// Qt's font engine, with fontconfig, FreeType and HarfBuzz under it, keeps its caches until the process
// ends, so LeakSanitizer would report them after any test that draws text. Our own allocations stay
// checked; the sanitizer reads this list when it starts.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6Gui.so\n"
           "leak:libfontconfig.so\n"
           "leak:libfreetype.so\n"
           "leak:libharfbuzz.so\n";
}
