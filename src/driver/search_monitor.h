#pragma once
// The driver's control of the search: it stops the search once SIGINT arrived, and when asked to
// it writes a progress line to standard error every 2 s of the run: stored states, waiting
// entries, stored states per second since the last line, resident memory and the time since the
// run began.

#include <chrono>
#include <ostream>

#include "check/search_control.h"
#include "driver/interrupt.h"

namespace tickcheck {

class SearchMonitor final : public SearchControl {
 public:
  using Clock = std::chrono::steady_clock;

  // `interrupt` and `err` must outlive the monitor; `start` is the moment the run began.
  SearchMonitor(const InterruptCatcher& interrupt, bool showProgress, std::ostream& err,
                Clock::time_point start);

  bool Continue(const SearchProgress& progress) override;

  // Whether the monitor stopped the search because of SIGINT.
  bool StoppedSearch() const { return stopped_; }

 private:
  const InterruptCatcher& interrupt_;
  bool showProgress_;
  std::ostream& err_;
  Clock::time_point start_;
  Clock::time_point nextLine_;
  Clock::time_point lastLine_;
  int64_t storedAtLastLine_ = 0;
  bool stopped_ = false;
};

}  // namespace tickcheck
