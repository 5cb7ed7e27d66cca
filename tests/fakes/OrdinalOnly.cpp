// A library that exports four functions by ordinal alone (410 to 413), as
// comctl32 before version 6 exports the window subclass functions. Each
// gives its own ordinal back.
extern "C" {
__declspec(dllexport) int OrdinalOnly410() { return 410; }
__declspec(dllexport) int OrdinalOnly411() { return 411; }
__declspec(dllexport) int OrdinalOnly412() { return 412; }
__declspec(dllexport) int OrdinalOnly413() { return 413; }
}
