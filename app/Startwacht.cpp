// Startwacht: the program's entry. It reads no command line.
#include <windows.h>

#include "Program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return sw::RunStartwacht(); }
