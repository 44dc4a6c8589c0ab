// SPDX-License-Identifier: MIT
// Linked into every program of a sanitizer build. Libraries that keep memory to the end of the
// process would be reported by LeakSanitizer at every exit: fontconfig keeps its configuration (there
// is no matching FcFini on our side by design), SDL's desktop bus connection leaves libdbus's own
// bookkeeping, and Mesa's graphics driver ("*_dri.so", kept mapped at exit for this) leaves a little
// behind. Only allocations made inside those libraries are let through: our own leaks are still
// reported.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n"
           "leak:_dri.so\n";
}
