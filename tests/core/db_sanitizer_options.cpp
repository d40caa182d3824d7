// The SQLite ODBC driver leaks about 1.5 KB inside every SQLConnect (seen with
// valgrind: calloc under SQLConnect -> libsqlite3odbc).  That is the driver's,
// not ours: the leak check ignores stacks through it, and full unwinding on
// malloc lets the check see those frames at all.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_suppressions() { return "leak:libsqlite3odbc\n"; }
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
#endif
