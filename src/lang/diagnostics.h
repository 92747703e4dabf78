#pragma once
// Positions in a source text and the errors found in it. Every error of the modelling language is
// one line, `FILE:LINE:COL: message`; a compilation that found any error checks nothing.

#include <string>
#include <vector>

namespace tickcheck::lang {

// A 1-based line and column (columns count bytes).
struct SourcePos {
  int line = 1;
  int column = 1;
  bool operator==(const SourcePos&) const = default;
};

struct Diagnostic {
  std::string file;
  SourcePos pos;
  std::string message;

  // `FILE:LINE:COL: message`, without a line end.
  std::string Format() const;
};

// Collects the errors of one source file, in the order found; the same error at the same place is
// kept once (a template instantiated several times reports its faults once).
class Diagnostics {
 public:
  explicit Diagnostics(std::string file) : file_(std::move(file)) {}

  void Error(SourcePos pos, std::string message);
  bool Empty() const { return errors_.empty(); }
  const std::vector<Diagnostic>& Errors() const { return errors_; }
  const std::string& File() const { return file_; }

 private:
  std::string file_;
  std::vector<Diagnostic> errors_;
};

}  // namespace tickcheck::lang
