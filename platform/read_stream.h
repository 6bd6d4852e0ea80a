// Opening a file for reading as a binary stream, with the same outcome on every host.
#pragma once

#include <cstdio>
#include <string>

namespace korvane {

// fopen(path, "rb") as the Windows C runtime answers it: a directory cannot be opened, and
// a named pipe that nobody writes to reads as empty instead of blocking the caller until a
// writer comes. Null when the path cannot be opened; the caller fcloses the stream.
std::FILE* OpenReadStream(const std::string& path);

// The same for a file on the disk of a described machine, which holds files and folders
// only: anything else (a pipe, a device) cannot be opened either.
std::FILE* OpenDiskFile(const std::string& path);

}  // namespace korvane
