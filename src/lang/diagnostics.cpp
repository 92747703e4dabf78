#include "lang/diagnostics.h"

#include <algorithm>

namespace tickcheck::lang {

std::string Diagnostic::Format() const {
  return file + ":" + std::to_string(pos.line) + ":" + std::to_string(pos.column) + ": " + message;
}

void Diagnostics::Error(SourcePos pos, std::string message) {
  const bool seen = std::any_of(errors_.begin(), errors_.end(), [&](const Diagnostic& d) {
    return d.pos == pos && d.message == message;
  });
  if (!seen)
    errors_.push_back({file_, pos, std::move(message)});
}

}  // namespace tickcheck::lang
