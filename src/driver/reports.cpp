#include "driver/reports.h"

#include <cstdlib>
#include <new>

#include "driver/output_file.h"

namespace tickcheck {

Reports::Reports(const std::string& modelPath, MessageSink& messages)
    : managerName_(modelPath + "-----cuddManagerInfo.txt"),
      modelInfoName_(modelPath + "------modelInfo.txt") {
  if (ReplaceProblem(managerName_)) {
    messages.Problem("ERROR! Can't open file!");
    return;
  }
  if (ReplaceProblem(modelInfoName_)) {
    messages.Problem("Error!Can not open file " + modelInfoName_);
    return;
  }
  // The decision-diagram adapter prints its statistics into a C stream.
  manager_ = open_memstream(&managerBytes_, &managerSize_);
  if (manager_ == nullptr)
    throw std::bad_alloc();
}

Reports::~Reports() {
  CloseManager();
  std::free(managerBytes_);
}

void Reports::CloseManager() {
  if (manager_ != nullptr)
    std::fclose(manager_);
  manager_ = nullptr;
}

std::optional<std::string> Reports::Commit() {
  CloseManager();
  const std::string managerText(managerBytes_ != nullptr ? managerBytes_ : "", managerSize_);
  if (const auto problem = ReplaceFile(managerName_, managerText))
    return "cannot write " + managerName_ + ": " + *problem;
  if (const auto problem = ReplaceFile(modelInfoName_, modelInfo_.str()))
    return "cannot write " + modelInfoName_ + ": " + *problem;
  return std::nullopt;
}

}  // namespace tickcheck
