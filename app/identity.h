// The texts that name Korvane and its maker: the caption, the About box, the web site
// and the mail address (both on reserved example domains).
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
