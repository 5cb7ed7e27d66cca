// Holds a file open without sharing, as a backup program or a virus scanner
// does for a moment, until it is ended: FileLocker.exe <path>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int tries = 0; tries < 200 && file == INVALID_HANDLE_VALUE; ++tries) {
        file = ::CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) ::Sleep(50);
    }
    if (file == INVALID_HANDLE_VALUE) return 1;
    // The process's end lets the file go.
    ::Sleep(INFINITE);
    return 0;
}
