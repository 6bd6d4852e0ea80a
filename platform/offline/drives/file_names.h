// File names as the ANSI calls give them: whatever a drive stores (UTF-8 on a Linux host,
// UTF-8 from The Sleuth Kit for long names, OEM bytes in a FAT short name) is narrowed to
// the machine's ANSI code page here, and names are compared in one form, so that what a
// listing shows is what a lookup finds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text_encoding.h"

namespace korvane {

// The code pages a drive's names are given in: the ANSI one of the machine's ANSI calls,
// and the OEM one its FAT short names are stored in.
struct FileNameCodePages {
  CodePage ansi = kDefaultAnsiCodePage;
  CodePage oem = kDefaultOemCodePage;
};

// A host file's name in the ANSI code page. Wine (and every Linux tool) stores names as
// UTF-8; a name that is not UTF-8 was written by something else in some 8-bit code page
// nobody recorded, most likely the machine's own, so its bytes are kept as they are.
std::string AnsiFromHostName(const std::string& hostName, CodePage ansi);

// A name in the ANSI code page as names are compared: its characters in lower case (so
// that "CAF\xC9" finds "Caf\xE9", and a double-byte character's trail byte is never
// taken for a letter).
std::string FileNameKey(const std::string& ansiName, CodePage ansi);

// The 32 bytes of a FAT directory entry.
constexpr size_t kFatEntrySize = 32;

// A FAT directory entry's 8.3 name as the ANSI calls give it: its eleven bytes in the OEM
// code page (a first byte 0x05 standing for 0xE5, which marks free entries), base and
// extension lower-cased where Windows NT's flags in byte 12 say so, then narrowed to the
// ANSI code page with the default character where it lacks one.
std::string AnsiFromShortEntry(std::string_view entry, const FileNameCodePages& pages);

// True when the name The Sleuth Kit gave an entry is this entry's: equal in every byte
// that is printable ASCII in the entry (it replaces the others with its own marks).
bool ShortEntryMatches(std::string_view entry, const std::string& givenName);

// Where The Sleuth Kit's FAT metadata address (a directory entry's slot, counted from 3
// at the first sector after the FATs) lies, in bytes from the file system's start, by the
// boot sector's layout; nullopt for the addresses that are no slot, or a boot sector that
// gives no layout.
std::optional<uint64_t> FatEntryOffset(std::string_view bootSector, uint64_t address);

}  // namespace korvane
