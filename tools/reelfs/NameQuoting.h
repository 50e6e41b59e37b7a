// Names as reelfs prints them, quoted as GNU tar quotes them by default, so that each listed file is one
// line of its columns whatever its name holds: a backslash becomes \\, the control characters with a
// C escape become it (\a \b \f \n \r \t \v), and every other byte that does not print (other control
// characters, DEL, the C1 controls and bytes that are no UTF-8) becomes \NNN in octal. Printable UTF-8
// stays as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

std::string QuoteName(std::string_view name);

// A message as reelfs prints it, on one line and with nothing that a terminal acts on, whatever the names
// from tape in it hold: quoted as QuoteName quotes, but for backslashes, so that the names it quotes
// itself stay as reelfs ls shows them.
std::string QuoteMessage(std::string_view message);

// The name that QuoteName gives `quoted`; nothing when `quoted` holds a backslash that begins none of
// those escapes.
std::optional<std::string> UnquoteName(std::string_view quoted);
