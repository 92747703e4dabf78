#pragma once
// The one assembly of a check of a model file, used by every run (the binary, the modelling
// language's runs, the tests and the fuzz targets): the model, its composition, its state space
// with the initial state, and the search, made in this order and destroyed in the reverse one
// (each later object refers to the earlier ones). Each stage writes its own lines to the sink that
// the check was made with and may refuse the model: it then answers the refusal, and the caller
// prints its line once and ends.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "check/checker.h"
#include "check/search_control.h"
#include "compose/composition.h"
#include "model/ds_state.h"
#include "model/messages.h"
#include "model/profile.h"
#include "model/refusal.h"
#include "model/system.h"
#include "statespace/state_space.h"

namespace tickcheck {

// Bounds on a run's resources, for runs that must stay short whatever the model: the work of the
// search.
struct RunLimits {
  SearchLimits search;
};

class ModelCheck {
 public:
  // Nothing is made yet; the model records are empty. Every line of the check goes to `messages`,
  // which must outlive it.
  explicit ModelCheck(MessageSink& messages) : messages_(messages) {}
  // Destroys the objects in the reverse order of their making, with the stage lines "composition
  // destruct end" once the composition is gone (when it was made) and "destruct system" before
  // the model records go.
  ~ModelCheck();
  ModelCheck(const ModelCheck&) = delete;
  ModelCheck& operator=(const ModelCheck&) = delete;

  // Loads the model and its properties from the model file `file` (read from a path, or made in
  // memory).
  std::optional<Refusal> Load(const ProfileIndex& file);
  // Builds the composition of the loaded model.
  std::optional<Refusal> Compose();
  // Builds the state space and the initial state, then the search.
  std::optional<Refusal> Prepare(const SearchOptions& options);
  // Runs the search from the initial state; writes the manager's statistics into `info` (unless
  // it is null).
  void Search(SearchControl* control, std::FILE* info);

  // The objects made so far: Model() always, Composition() after Compose, Space(), Initial() and
  // Checker() after Prepare.
  const CSystem& Model() const { return system_; }
  CComposition& Composition() { return *composition_; }
  const CStateSpace& Space() const { return *space_; }
  const DsState& Initial() const { return *initial_; }
  tickcheck::Checker& Checker() { return *checker_; }
  MessageSink& Messages() const { return messages_; }

 private:
  MessageSink& messages_;
  CSystem system_;
  std::unique_ptr<CComposition> composition_;
  std::unique_ptr<CStateSpace> space_;
  std::optional<DsState> initial_;
  std::unique_ptr<tickcheck::Checker> checker_;
};

}  // namespace tickcheck
