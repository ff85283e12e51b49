#pragma once
// A guard around toml++ 3.3.0, the version Debian 12 ships: its test for non-ASCII whitespace
// reaches a point the library marks unreachable (undefined behaviour) for code points in
// U+00A1..U+0499, U+2C5E..U+3057 and U+FB26..U+FEFE when one stands where whitespace may be
// (upstream issues 190 and 295, mended after 3.3.0). A project file written by hand can hold
// such a character anywhere ("Café" in a label is enough once it is mistyped outside the quotes).
//
// So before the text is parsed each such code point is moved into the supplementary private-use
// plane (U+F0000 + the code point), which the library handles soundly: none of them is
// whitespace, and inside strings and comments they are text as before. Every string the parser
// gives back, and its error messages, are moved back. Lines and columns stay as they were.

#include <string>
#include <string_view>

struct GuardedToml {
    std::string text;
    // The first line holding a character of that private-use range already (it could not be told
    // from a moved one): the file is refused there. 0: none.
    int reservedLine = 0;
};

GuardedToml GuardForToml(std::string_view text);
// The text as it was before GuardForToml moved its characters.
std::string Unguard(std::string_view text);
