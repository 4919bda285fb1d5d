#pragma once

#include <string>

// A sound's name made fit to name a file on any desktop: no folder
// separators, control characters or characters other systems refuse, no
// leading dot or trailing dot or space, whole UTF-8 characters within a
// length that leaves room for a number and an extension; "sound" when nothing
// is left. Bytes that are not UTF-8 become U+FFFD, one each.
std::string FileNameFor(const std::string& name);
// FileNameFor's name as games like to load them: ASCII letters in lower case,
// each run of anything else but digits, '-' and '.' one '_' ("Coin ★ 2" is
// "coin_2"); "sound" when nothing is left.
std::string GameFileNameFor(const std::string& name);
