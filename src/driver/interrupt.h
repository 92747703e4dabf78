#pragma once
// SIGINT during a run. While an InterruptCatcher lives, the first SIGINT only marks the run as
// interrupted: the search sees the mark at its next poll and ends, and the run then reports what
// it found. A second SIGINT ends the process at once, as SIGINT does by default.

#include <signal.h>

namespace tickcheck {

class InterruptCatcher {
 public:
  // Installs the handler and clears any earlier mark; at most one catcher may live at a time.
  InterruptCatcher();
  // Restores the disposition that SIGINT had before.
  ~InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

  // Whether a SIGINT arrived since the catcher was installed.
  bool Interrupted() const;

 private:
  struct sigaction previous_ {};
};

}  // namespace tickcheck
