// The texts that name Korvane and its maker (Parts 1.1, 1.3 and 1.4). The web site and
// the mail address are on reserved example domains.
#pragma once

namespace korvane {

inline constexpr char kProgramName[] = "Korvane";
inline constexpr char kBuildDate[] = "Sep 26 2001";
inline constexpr char kCaption[] = "Korvane - why does this AVI not play? - (c) 2001 Ruv";
inline constexpr char kMakerNotice[] = " (c) 1999-2001 Ruv and the Korvane authors";
inline constexpr char kWebSite[] = "https://www.example.com/korvane/";
inline constexpr char kMailCommand[] = "mailto:author@example.com";
inline constexpr char kHelpFile[] = "Korvane.hlp";

}  // namespace korvane
