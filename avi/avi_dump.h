// The file dump: the head of a file in hex, its RIFF verdicts and its codec.
#pragma once

#include <cstdint>
#include <string>

#include "report/report.h"

namespace korvane {

constexpr int kDumpBlockSize = 16;
constexpr int kDumpBlockCount = 24;
constexpr int kFourCCOffset = 188;

// The format of one dump line; every dump line is kDumpLineLength characters long.
constexpr char kDumpLineFormat[] =
    "%02X %02X %02X %02X %02X %02X %02X %02X | %02X %02X %02X %02X %02X %02X %02X %02X "
    "|%c%c%c%c%c%c%c%c%c%c%c%c%c%c%c%c";
constexpr int kDumpLineLength = 67;

// One dump line: sixteen hex bytes in two groups of eight, then the bytes as text
// (letters and digits as they are, everything else as a space).
std::string DumpLine(const unsigned char* block);

// The same line written over the kDumpLineLength characters at line.
void WriteDumpLine(const unsigned char* block, char* line);

// Writes the dump of path into the report and path into the window's path field.
// Returns false, after ShowError, when the file cannot be opened.
bool DumpAviFile(ReportWindow& window, const std::string& path);

}  // namespace korvane
