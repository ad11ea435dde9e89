#include "engine/quoted.h"

namespace rfsplitter {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendEscaped(std::string& out, std::string_view text, bool quote) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // U+0080 to U+009F in UTF-8 (C2 80 to C2 9F) are the C1 controls, which
    // terminals obey as well.
    const bool c1 = c == 0xc2 && i + 1 < text.size() &&
                    (static_cast<unsigned char>(text[i + 1]) & 0xe0) == 0x80;
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (quote && (c == '"' || c == '\\')) {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f || c1) {
      const unsigned byte = c1 ? static_cast<unsigned char>(text[++i]) : c;
      if (c1) out += "\\xc2";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
}

}  // namespace

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  AppendEscaped(out, text, true);
  return out + "\"";
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  AppendEscaped(out, text, false);
  return out;
}

}  // namespace rfsplitter
