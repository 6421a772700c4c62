#include "text.h"

#include <cstdio>

namespace ms_browse {
namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) {
    return static_cast<unsigned char>(text[k]);
  };
  const unsigned char lead = byte(i);
  std::size_t length;
  unsigned code;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  // No overlong forms, no surrogates, nothing past U+10FFFF.
  if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
      (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
    return 0;
  // C1 controls are controls too.
  if (code >= 0x80 && code <= 0x9F) return 0;
  return length;
}

std::string Hex(unsigned char byte) {
  char text[5];
  std::snprintf(text, sizeof text, "\\x%02X", byte);
  return text;
}

}  // namespace

std::string EscapeForTerminal(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\\') {
      out += "\\\\";
      ++i;
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t n = c >= 0x80 ? Utf8Length(text, i) : 0) {
      out.append(text, i, n);
      i += n;
    } else {
      out += Hex(c);
      ++i;
    }
  }
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t n = Utf8Length(text, i)) {
      out.append(text, i, n);
      i += n;
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
      ++i;
    }
  }
  return out + "\"";
}

std::size_t DisplayWidth(const std::string& escaped) {
  std::size_t width = 0;
  for (const char c : escaped)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
  return width;
}

std::string FitColumn(const std::string& escaped, std::size_t width) {
  std::string out;
  std::size_t used = 0;
  for (std::size_t i = 0; i < escaped.size();) {
    std::size_t n = 1;
    while (i + n < escaped.size() &&
           (static_cast<unsigned char>(escaped[i + n]) & 0xC0) == 0x80)
      ++n;
    if (used + 1 > width) break;
    out.append(escaped, i, n);
    ++used;
    i += n;
  }
  if (used < DisplayWidth(escaped) && width > 0) {
    // Mark the cut with an ellipsis in the last column.
    std::size_t cut = out.size();
    while (cut > 0 && (static_cast<unsigned char>(out[cut - 1]) & 0xC0) == 0x80)
      --cut;
    if (cut > 0) out.erase(cut - 1);
    out += "\xE2\x80\xA6";
  }
  return out + std::string(width - std::min(width, DisplayWidth(out)), ' ');
}

}  // namespace ms_browse
