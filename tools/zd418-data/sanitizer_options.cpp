// Native, sanitizer builds only: the SQLite ODBC driver leaks about 1.5 KB in
// every SQLConnect; that leak is the driver's, so the leak check ignores
// stacks through it (full unwinding on malloc lets it see those frames).
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_suppressions() { return "leak:libsqlite3odbc\n"; }
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
#endif
