#pragma once
// Positions inside an XML document. A label's text is handed to the language's lexer as the XML
// parser decodes it (entities replaced, CDATA sections joined), so every position the lexer or a
// later stage gives inside that text is mapped back to the bytes of the document: an error
// points at the offending text in the file, `FILE:LINE:COL` with columns counting bytes.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "lang/diagnostics.h"

namespace tickcheck::xml {

// The line and column of every byte offset of one document.
class DocumentLines {
 public:
  explicit DocumentLines(std::string_view bytes);

  // The 1-based line and column of `offset` (an offset at or past the end is the end).
  lang::SourcePos At(size_t offset) const;

 private:
  std::vector<size_t> lineStarts_;
  size_t size_ = 0;
};

// The decoded text of an element, with the document offset of each of its bytes.
struct DocumentText {
  std::string text;
  // offsets[i] is the offset in the document of the byte that gave text[i] (the `&` of an entity
  // for each byte it stands for); offsets[text.size()] is where the text ends.
  std::vector<size_t> offsets;
  size_t element = 0;  // the offset of the element's `<`, for errors about the whole element

  // The document offset of a position inside `text` counted from {1, 1} (lines split at '\n').
  size_t OffsetOf(lang::SourcePos pos) const;
};

// Appends to `text` the characters of the raw document bytes `raw`, found at document offset
// `start`, decoding the five predefined entities and character references (`&#65;`, `&#x41;`);
// a `&` that starts no entity is kept as it is. With `verbatim` (a CDATA section) nothing is
// decoded.
void AppendDecoded(DocumentText& text, std::string_view raw, size_t start, bool verbatim);

}  // namespace tickcheck::xml
