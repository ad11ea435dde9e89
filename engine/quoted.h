// Text taken from the user, made safe to show in a message: in double
// quotes, with everything that could forge or disturb the lines around it
// written as an escape: control bytes (C0, DEL and the C1 controls), bytes
// that are not UTF-8, and the bidirectional formatting characters that
// would reorder what a terminal shows (U+061C, U+200E, U+200F, U+202A to
// U+202E, U+2066 to U+2069).
#ifndef RFSPLITTER_ENGINE_QUOTED_H_
#define RFSPLITTER_ENGINE_QUOTED_H_

#include <string>
#include <string_view>

namespace rfsplitter {

// "12.1", "a\nb", "\x1b[2J", "say \"hi\"", "\u202e".
std::string Quoted(std::string_view text);

// The same, cut after `characters` characters for a message that quotes a
// value or a line rather than a path: "abc..."... (10485760 bytes).
std::string QuotedShort(std::string_view text, size_t characters = 80);

// The same escapes without the quotes, for a message that as a whole may
// carry user text (a parser's error message).
std::string EscapeControls(std::string_view text);

// Only the bytes that are not UTF-8 written as \xNN, the rest as it is: a
// file name kept readable in a format that takes UTF-8 alone (JSON).
std::string EscapeInvalidUtf8(std::string_view text);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_QUOTED_H_
