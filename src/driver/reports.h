#pragma once
// The two reports of a run, named by appending a fixed suffix to the model file path: the model
// report (composed-transition listing and encoding listing) and the manager report (statistics of
// the decision-diagram manager). Both are collected in memory while the run writes them and
// replace the files only when the run commits them: a run that does not (interrupted, out of
// memory) leaves the files of an earlier run as they were.

#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "model/messages.h"

namespace tickcheck {

class Reports {
 public:
  // Checks that both files can be written, the manager report first, and opens the in-memory
  // streams. On failure writes the problem line of the report that cannot be written
  // ("ERROR! Can't open file!" or "Error!Can not open file <name>") to `messages`, and Opened()
  // is false.
  Reports(const std::string& modelPath, MessageSink& messages);
  ~Reports();
  Reports(const Reports&) = delete;
  Reports& operator=(const Reports&) = delete;

  bool Opened() const { return manager_ != nullptr; }
  // The manager report as a C stream, and the model report; valid while Opened().
  std::FILE* Manager() const { return manager_; }
  std::ostream& ModelInfo() { return modelInfo_; }

  // Replaces both files with what was written. Nothing when done; otherwise one line naming the
  // file and the reason. After Commit the streams are closed.
  std::optional<std::string> Commit();

 private:
  void CloseManager();

  std::string managerName_;
  std::string modelInfoName_;
  std::FILE* manager_ = nullptr;  // writes into managerBytes_
  char* managerBytes_ = nullptr;
  size_t managerSize_ = 0;
  std::ostringstream modelInfo_;
};

}  // namespace tickcheck
