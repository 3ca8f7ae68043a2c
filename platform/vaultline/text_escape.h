// Escaping of texts into the places an ini line offers: entry values and section names.
//
// The ini model trims blanks and tabs around values and names, removes one pair of quotes around
// a value, ends lines at CR or LF and ends a section name at the first ']'. What it would change
// is written as an escape, so every text reads back byte for byte:
//
//     \\  backslash          \r  CR        \n  LF        \t  tab        \"  double quote
//     \xHH  any other byte: other control bytes (NUL included), DEL, a blank at either end,
//           and '[' / ']' in section names
//
// Everything else, bytes above 127 included, is written as it is ('=', ';' and '#' mean nothing
// after a key's '=' or inside a header). Reading is lenient: a backslash that starts no escape
// above is kept as it is.
#pragma once

#include <string>
#include <string_view>

namespace vaultline {

// The text as an entry value ("Key=<escaped>").
std::string EscapeValue(std::string_view text);
// The same, appended to `out`.
void AppendEscapedValue(std::string& out, std::string_view text);
// The text as part of a section name ("[Prefix<escaped>]").
std::string EscapeSectionText(std::string_view text);
// The inverse of both.
std::string Unescape(std::string_view escaped);

}  // namespace vaultline
