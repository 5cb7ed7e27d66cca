// Whole-file reading and writing.
#pragma once

#include <string>

namespace sw {

// True when a file (not a directory) of that path exists.
bool FileExists(const std::string& path);

// Reads the whole file. Raises EFOpenError "Datei <path> kann nicht geöffnet
// werden" when it can't be opened or read.
std::string ReadWholeFile(const std::string& path);

// Replaces the file with the given bytes. The bytes go to a temporary file in
// the same directory first, which then takes the file's place, so a crash or
// a power loss leaves either the old or the new file, never a truncated one.
// Raises EFCreateError "Datei <path> kann nicht erstellt werden" on failure;
// the old file is then untouched.
void WriteWholeFile(const std::string& path, const std::string& data);

}  // namespace sw
