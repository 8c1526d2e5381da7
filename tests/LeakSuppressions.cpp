// Leaks LeakSanitizer finds inside system libraries, one line per library, linked into every test
// program and every program the tests start. The project's own code gets no entry here: a leak of
// ours is a fault to mend.
extern "C" const char* __lsan_default_suppressions() {
    return
        // Fontconfig keeps its configuration for the life of the process and Qt never asks it to
        // free it, also when the program ends because the X server went away.
        "leak:libfontconfig.so\n";
}
