// A program that ends in an unhandled memory access fault, for the session's
// check that a crash ends the program at once (no debugger left waiting).
#include <cstdio>

int main() {
    std::puts("crashing");
    std::fflush(stdout);
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}
