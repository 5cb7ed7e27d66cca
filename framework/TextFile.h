// Whole-file reading and writing.
#pragma once

#include <cstdint>
#include <string>

namespace sw {

// True when a file (not a directory) of that path exists.
bool FileExists(const std::string& path);

// Reads the whole file. Raises EFOpenError "Datei <path> kann nicht geöffnet
// werden" when it can't be opened or read.
std::string ReadWholeFile(const std::string& path);

// Replaces the file with the given bytes. The bytes go to the file's
// temporary file first, which then takes the file's place, so a crash or a
// power loss leaves either the old or the new file, never a truncated one.
// Raises EFCreateError "Datei <path> kann nicht erstellt werden" on failure;
// the old file is then untouched.
void WriteWholeFile(const std::string& path, const std::string& data);

// The one temporary file beside `path` that its writes use (the path with
// ".tmp" appended). A crash between the write and the rename leaves it
// behind; the next write of the file removes it, so they never pile up.
std::string TemporaryPathOf(const std::string& path);

// How many writes of `path` by WriteWholeFile have succeeded in this process
// so far: a count that grew since a failed write means the file was put
// right after it.
uint64_t SuccessfulWritesOf(const std::string& path);

}  // namespace sw
