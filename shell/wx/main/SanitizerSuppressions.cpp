// Sanitizer suppressions for the programs that open windows: findings inside the toolkit's
// own libraries only. Compiled into those programs in sanitizer builds.
//
// GTK, GLib, fontconfig, pango and the X libraries keep type registrations, caches and
// per-display state until the process ends, and wxWidgets keeps its class and font tables;
// the leak checker would report all of them at exit. Leaks in Ratemark's own code are still
// reported.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libgtk-3.so\n"
           "leak:libgdk-3.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libgio-2.0.so\n"
           "leak:libfontconfig.so\n"
           "leak:libpango\n"
           "leak:libcairo.so\n"
           "leak:libharfbuzz.so\n"
           "leak:libX11.so\n"
           "leak:libatk\n"
           "leak:libdbus\n"
           "leak:libwx_\n";
}

extern "C" const char* __tsan_default_suppressions()
{
    return "race:libfontconfig.so\n"
           "race:libglib-2.0.so\n"
           "race:libgio-2.0.so\n";
}
