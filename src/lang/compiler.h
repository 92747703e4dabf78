#pragma once
// The compiler of the modelling language: reads a model and its queries, checks them, and gives
// the model file's description (format 2) whose properties decide the queries, one property per
// query in order. Every stage reports its faults as `FILE:LINE:COL: message` lines; nothing is
// produced when any fault was found.

#include <optional>
#include <string>
#include <vector>

#include "lang/codegen.h"
#include "lang/diagnostics.h"
#include "lang/network.h"
#include "lang/syntax.h"
#include "model/model_writer.h"

namespace tickcheck::lang {

struct SourceFile {
  std::string path;  // as the messages name it
  std::string text;
};

struct Compilation {
  Network network;
  std::vector<Query> queries;  // query q is property q + 1 of the model
  ModelSpec model;
  // Per process, per jump of the model in order: the source edge and select values it comes
  // from, for traces in the source's terms.
  std::vector<std::vector<JumpOrigin>> origins;
};

// Compiles `model` with the queries of `queries` (none when absent). On failure answers nullopt
// and leaves the faults, model first, in `errors`.
std::optional<Compilation> Compile(const SourceFile& model,
                                   const std::optional<SourceFile>& queries,
                                   std::vector<Diagnostic>& errors);

// The stages after parsing, for a front end that builds the syntax tree itself (an XML document
// parsed label by label): the model's faults go to `modelErrors`, the queries' to `queryErrors`
// (they may be one list). `model` must outlive the elaboration, which ends before this returns.
std::optional<Compilation> CompileSyntax(const SyntaxModel& model,
                                         const std::vector<SyntaxQuery>& queries,
                                         Diagnostics& modelErrors, Diagnostics& queryErrors);

}  // namespace tickcheck::lang
