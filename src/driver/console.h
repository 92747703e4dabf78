#pragma once
// Where a run shows the lines of its check (model/messages.h): a stream, each line followed by a
// line feed and a flush, so that the lines stay in order with anything written to the other
// standard stream. A model-file run shows every line (its console); a front end, which prints
// its own results, shows only the problem lines, on standard error. ErrorLine writes one line of
// the run's own to standard error in the same way.

#include <iostream>
#include <ostream>
#include <string_view>

#include "model/messages.h"

namespace tickcheck {

class StreamMessages final : public MessageSink {
 public:
  enum class Shown { kEveryLine, kProblemsOnly };

  // `out` must outlive the sink.
  StreamMessages(std::ostream& out, Shown shown) : out_(out), shown_(shown) {}

  void Line(MessageKind kind, std::string_view text) override {
    if (shown_ == Shown::kProblemsOnly && kind != MessageKind::kProblem)
      return;
    out_ << text << '\n' << std::flush;
  }

 private:
  std::ostream& out_;
  Shown shown_;
};

// Writes `text` and a line feed to standard error and flushes it.
inline void ErrorLine(std::string_view text) {
  std::cerr << text << '\n' << std::flush;
}

}  // namespace tickcheck
