#include "xml/text_map.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace tickcheck::xml {
namespace {

// The UTF-8 bytes of code point `code` (a code point beyond the range gives U+FFFD).
std::string Utf8(uint32_t code) {
  if (code > 0x10FFFF)
    code = 0xFFFD;
  std::string bytes;
  if (code < 0x80) {
    bytes += static_cast<char>(code);
  } else if (code < 0x800) {
    bytes += static_cast<char>(0xC0 | (code >> 6));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    bytes += static_cast<char>(0xE0 | (code >> 12));
    bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    bytes += static_cast<char>(0xF0 | (code >> 18));
    bytes += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  }
  return bytes;
}

// The bytes that the entity `name` (between `&` and `;`) stands for, or nothing.
bool Entity(std::string_view name, std::string& bytes) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [entity, character] : kNamed) {
    if (name == entity) {
      bytes = std::string(1, character);
      return true;
    }
  }
  if (name.size() < 2 || name[0] != '#')
    return false;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  uint32_t code = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
    return false;
  bytes = Utf8(code);
  return true;
}

}  // namespace

DocumentLines::DocumentLines(std::string_view bytes) : lineStarts_{0}, size_(bytes.size()) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n')
      lineStarts_.push_back(i + 1);
  }
}

lang::SourcePos DocumentLines::At(size_t offset) const {
  offset = std::min(offset, size_);
  const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
  const size_t line = static_cast<size_t>(next - lineStarts_.begin());
  return {static_cast<int>(line), static_cast<int>(offset - lineStarts_[line - 1]) + 1};
}

size_t DocumentText::OffsetOf(lang::SourcePos pos) const {
  size_t index = 0;
  for (int line = 1; line < pos.line && index < text.size(); ++index) {
    if (text[index] == '\n')
      ++line;
  }
  index = std::min(text.size(), index + static_cast<size_t>(std::max(pos.column, 1) - 1));
  return offsets.empty() ? element : offsets[index];
}

void AppendDecoded(DocumentText& text, std::string_view raw, size_t start, bool verbatim) {
  if (!text.offsets.empty())
    text.offsets.pop_back();  // the end of the text so far
  for (size_t i = 0; i < raw.size();) {
    std::string bytes;
    const size_t semicolon = verbatim || raw[i] != '&' ? std::string_view::npos : raw.find(';', i);
    if (semicolon != std::string_view::npos &&
        Entity(raw.substr(i + 1, semicolon - i - 1), bytes)) {
      text.text += bytes;
      text.offsets.insert(text.offsets.end(), bytes.size(), start + i);
      i = semicolon + 1;
      continue;
    }
    text.text += raw[i];
    text.offsets.push_back(start + i);
    ++i;
  }
  text.offsets.push_back(start + raw.size());
}

}  // namespace tickcheck::xml
