// Leaks LeakSanitizer finds inside system libraries, one line per library: the one list for every
// test program, every program the tests start, and the tessary program of the sanitizer build.
// The project's own code gets no entry here: a leak of ours is a fault to mend.
extern "C" const char* __lsan_default_suppressions() {
    return
        // D-Bus keeps its tables for the life of the process and Qt never asks it to free them.
        "leak:libdbus-1.so\n"
        // Fontconfig keeps its configuration for the life of the process and Qt never asks it to
        // free it, also when the program ends because the X server went away.
        "leak:libfontconfig.so\n";
}
