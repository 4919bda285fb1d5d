#pragma once

#include <string>
#include <string_view>

// Text from outside (a file's name, a recipe's description) as a terminal
// may show it: control characters, which could move the cursor, clear the
// screen or split a line, are written as escapes (\n, \t, \r, \x1b, \u009b);
// everything else is kept as it is.
std::string KIT_Printable(std::string_view text);
