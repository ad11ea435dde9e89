// Text taken from the user, made safe to show in a message: in double
// quotes, with control bytes written as escapes so that a typed newline or
// terminal escape cannot forge or disturb the lines around it.
#ifndef RFSPLITTER_ENGINE_QUOTED_H_
#define RFSPLITTER_ENGINE_QUOTED_H_

#include <string>
#include <string_view>

namespace rfsplitter {

// "12.1", "a\nb", "\x1b[2J", "say \"hi\"".
std::string Quoted(std::string_view text);

// The same escapes without the quotes, for a message that as a whole may
// carry user text (a parser's error message).
std::string EscapeControls(std::string_view text);

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_QUOTED_H_
