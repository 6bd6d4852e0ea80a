// The texts that name Korvane and its maker (Parts 1.1, 1.3 and 1.4). The web site and
// the mail address are on reserved example domains.
#include "app/app.h"

namespace korvane {

const char kProgramName[] = "Korvane";
const char kBuildDate[] = "Sep 26 2001";
const char kCaption[] = "Korvane - why does this AVI not play? - (c) 2001 Ruv";
const char kMakerNotice[] = " (c) 1999-2001 Ruv and the Korvane authors";
const char kWebSite[] = "https://www.example.com/korvane/";
const char kMailCommand[] = "mailto:author@example.com";
const char kHelpFile[] = "Korvane.hlp";

}  // namespace korvane
