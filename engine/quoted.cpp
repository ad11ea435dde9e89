#include "engine/quoted.h"

namespace rfsplitter {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendHexByte(std::string& out, unsigned byte) {
  out += "\\x";
  out += kHex[(byte >> 4) & 15];
  out += kHex[byte & 15];
}

// The code point of the UTF-8 sequence at text[i] and its length, or a
// length of 0 for a byte that does not start a valid sequence (overlong
// forms and surrogates included).
struct Decoded {
  char32_t code_point = 0;
  size_t length = 0;
};
Decoded Decode(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned lead = byte(i);
  if (lead < 0x80) return {lead, 1};
  size_t length = 0;
  char32_t code_point = 0, lowest = 0;
  if ((lead & 0xe0) == 0xc0) {
    length = 2, code_point = lead & 0x1f, lowest = 0x80;
  } else if ((lead & 0xf0) == 0xe0) {
    length = 3, code_point = lead & 0x0f, lowest = 0x800;
  } else if ((lead & 0xf8) == 0xf0) {
    length = 4, code_point = lead & 0x07, lowest = 0x10000;
  } else {
    return {};
  }
  if (i + length > text.size()) return {};
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xc0) != 0x80) return {};
    code_point = (code_point << 6) | (byte(i + k) & 0x3f);
  }
  if (code_point < lowest || code_point > 0x10ffff ||
      (code_point >= 0xd800 && code_point <= 0xdfff)) {
    return {};
  }
  return {code_point, length};
}

bool IsBidiControl(char32_t c) {
  return c == 0x061c || c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e) ||
         (c >= 0x2066 && c <= 0x2069);
}

// Appends `text`'s escaped form; stops after `characters` characters and
// returns where it stopped.
size_t AppendEscaped(std::string& out, std::string_view text, bool quote, size_t characters) {
  size_t i = 0;
  for (size_t shown = 0; i < text.size() && shown < characters; ++shown) {
    const Decoded d = Decode(text, i);
    const char32_t c = d.code_point;
    if (d.length == 0) {
      AppendHexByte(out, static_cast<unsigned char>(text[i]));
      ++i;
      continue;
    }
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (quote && (c == '"' || c == '\\')) {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      AppendHexByte(out, unsigned(c));
    } else if (c >= 0x80 && c <= 0x9f) {
      // The C1 controls, which terminals obey as well: their UTF-8 bytes.
      AppendHexByte(out, 0xc2);
      AppendHexByte(out, unsigned(c));
    } else if (IsBidiControl(c)) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 15];
    } else {
      out.append(text.substr(i, d.length));
    }
    i += d.length;
  }
  return i;
}

}  // namespace

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  AppendEscaped(out, text, true, text.size());
  return out + "\"";
}

std::string QuotedShort(std::string_view text, size_t characters) {
  std::string out = "\"";
  const size_t end = AppendEscaped(out, text, true, characters);
  out += "\"";
  if (end < text.size()) out += "... (" + std::to_string(text.size()) + " bytes)";
  return out;
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  AppendEscaped(out, text, false, text.size());
  return out;
}

std::string EscapeInvalidUtf8(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const Decoded d = Decode(text, i);
    if (d.length == 0) {
      AppendHexByte(out, static_cast<unsigned char>(text[i]));
      ++i;
    } else {
      out.append(text.substr(i, d.length));
      i += d.length;
    }
  }
  return out;
}

}  // namespace rfsplitter
