// Linked into every program of a sanitizer build. fontconfig keeps its configuration for the whole
// process (there is no matching FcFini on our side by design), which LeakSanitizer would report at
// exit; our own leaks are still reported.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
