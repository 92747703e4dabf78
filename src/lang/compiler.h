#pragma once
// The compiler of the modelling language: reads a model and its queries, checks them, and gives
// the model file's description whose properties decide the queries. Every stage reports its
// faults as `FILE:LINE:COL: message` lines; nothing is produced when any fault was found.

#include <optional>
#include <string>
#include <vector>

#include "lang/diagnostics.h"
#include "lang/network.h"
#include "lang/query.h"
#include "model/model_writer.h"

namespace tickcheck::lang {

struct SourceFile {
  std::string path;  // as the messages name it
  std::string text;
};

struct Compilation {
  Network network;
  std::vector<Query> queries;
  std::vector<QueryPlan> plans;  // one per query; their conjunctions are the model's properties
  ModelSpec model;
};

// Compiles `model` with the queries of `queries` (none when absent). On failure answers nullopt
// and leaves the faults, model first, in `errors`.
std::optional<Compilation> Compile(const SourceFile& model,
                                   const std::optional<SourceFile>& queries,
                                   std::vector<Diagnostic>& errors);

}  // namespace tickcheck::lang
