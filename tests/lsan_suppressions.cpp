// Linked into every test program. LeakSanitizer asks this hook for
// suppressions when the program starts (without a sanitizer nothing calls it).
//
// glibc's newlocale parses LOCPATH into a buffer it never frees; the comma
// locale tests (tests/comma_locale.h) set LOCPATH, so the sanitizer build
// would fail on that libc allocation. Only that allocation site is named.

extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }
