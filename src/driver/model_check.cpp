#include "driver/model_check.h"

#include <string>
#include <variant>

#include "statespace/initial_state.h"

namespace tickcheck {

ModelCheck::~ModelCheck() {
  checker_.reset();
  initial_.reset();
  space_.reset();
  if (composition_) {
    composition_.reset();
    messages_.Stage("composition destruct end");
  }
  messages_.Stage("destruct system");
}

std::optional<Refusal> ModelCheck::Load(const ProfileIndex& file) {
  if (std::optional<Refusal> refusal = system_.Load(file, messages_))
    return refusal;
  if (std::optional<Refusal> refusal = system_.LoadProperties(file, messages_))
    return refusal;
  system_.computeLocationProduct();
  return std::nullopt;
}

std::optional<Refusal> ModelCheck::Compose() {
  if (std::optional<Refusal> refusal = CComposition::CanCompose(system_))
    return refusal;
  composition_ = std::make_unique<CComposition>(system_, messages_);
  return std::nullopt;
}

std::optional<Refusal> ModelCheck::Prepare(const SearchOptions& options) {
  space_ = std::make_unique<CStateSpace>(system_, messages_);
  std::variant<DsState, Refusal> initial = BuildInitialState(system_, *composition_);
  if (Refusal* refusal = std::get_if<Refusal>(&initial))
    return *refusal;
  initial_ = std::move(std::get<DsState>(initial));
  checker_ =
      std::make_unique<tickcheck::Checker>(system_, *composition_, *space_, options, messages_);
  return std::nullopt;
}

void ModelCheck::Search(SearchControl* control, std::FILE* info) {
  checker_->SetControl(control);
  checker_->Check(*initial_, info);
}

}  // namespace tickcheck
