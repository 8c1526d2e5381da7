// Fontconfig keeps its configuration for the life of the process and Qt never asks it to free
// it; that is not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
