// Sanitizer suppressions for every program that draws through cairo: findings inside the
// font libraries only. Compiled into those programs in sanitizer builds.
//
// fontconfig, which pango asks for "Arial", keeps its configuration and font caches until
// the process ends, and the leak checker would report them at exit. pango initialises
// fontconfig on a thread of its own ("[pango] FcInit") and hands the state over through
// glib's futex-based locks, which ThreadSanitizer cannot see; every race report it makes
// is between that thread and the caller inside fontconfig's own memory.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

// The same futex-based locks hand memory between glib's own threads and the caller when
// ratemark-cli talks to the disk service over the system bus (GDBus runs a worker thread):
// races reported inside glib, gio and gobject are theirs to keep.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libfontconfig.so\n"
           "race:libglib-2.0.so\n"
           "race:libgio-2.0.so\n"
           "race:libgobject-2.0.so\n";
}
