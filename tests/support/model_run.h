#pragma once
// A model written with the model-file writer and assembled as a run of the driver assembles it
// (driver/model_check.h): loaded and composed at construction, with its state space, initial state
// and search made by Initial(), for the tests of the state space and the search. The lines of
// each stage are kept in `console`.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "driver/model_check.h"
#include "support/model_files.h"
#include "support/temp_dir.h"

namespace tickcheck::testing {

class ModelRun {
 public:
  explicit ModelRun(const ModelSpec& model, const SearchOptions& options = {})
      : options_(options),
        path(WriteModel(dir_, model)),
        check_(std::make_unique<ModelCheck>(messages_)),
        system(check_->Model()) {
    EXPECT_FALSE(check_->Load(ProfileIndex(path)));
    EXPECT_FALSE(check_->Compose());
    console = messages_.Text();
  }

  // Builds the state space, the initial state and the search; `console` receives their lines,
  // and a refusal's line.
  DsState Initial() {
    messages_.Clear();
    refusal = check_->Prepare(options_);
    console = messages_.Text();
    if (refusal) {
      console += refusal->line + "\n";
      return DsState{};
    }
    return check_->Initial();
  }
  // Runs the search after Initial(); `console` receives its lines, `info` the manager's report.
  void Search(std::FILE* info) {
    messages_.Clear();
    check_->Search(nullptr, info);
    console = messages_.Text();
  }

  CComposition& composition() { return check_->Composition(); }
  const CStateSpace& space() const { return check_->Space(); }
  Checker& checker() { return check_->Checker(); }
  // Where the lines of the check go.
  MessageLog& messages() { return messages_; }

 private:
  TempDir dir_;
  SearchOptions options_;
  MessageLog messages_;

 public:
  const std::string path;
  std::string console;
  std::optional<Refusal> refusal;

 private:
  std::unique_ptr<ModelCheck> check_;

 public:
  const CSystem& system;
};

}  // namespace tickcheck::testing
