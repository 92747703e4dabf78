// Writes the seed corpora of the fuzz targets, with the project's model-file writer:
//
//   tickcheck-fuzz-seeds <output directory> [model file, .tck model or .xml document ...]
//
// <output directory>/run receives small models that use every feature of the format (and the
// given model files, for instance the examples); <output directory>/profile receives the same
// files behind a section and a key to look up; <output directory>/expression receives expression
// records of every evaluation shape; <output directory>/language the given .tck models, each
// followed by a NUL byte and its .q file; <output directory>/xml the given .xml documents.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "model/expression_builder.h"
#include "model/model_writer.h"

namespace {

using namespace tickcheck;

// Two processes on a channel, a broadcast, an urgent jump, integer updates through larger
// expressions, invariants and every kind of property atom.
ModelSpec Features() {
  ModelSpec model;
  model.variables = {{.name = "n", .type = 0, .initValue = 0, .min = 0, .max = 7},
                     {.name = "m", .type = 0, .initValue = 1, .min = 0, .max = 3},
                     {.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 6},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = 4},
                     {.name = "o", .type = 3, .initValue = 0, .min = 0, .max = 1}};
  const Expr n = Expr::Var(1);
  const Expr m = Expr::Var(2);
  model.expressions = {
      {0, Expr::Const(0).Compile()},
      {1, Comparison(3, ExpType::kAtMost, 4)},
      {2, Comparison(3, ExpType::kGreater, 1)},
      {3, Comparison(1, ExpType::kLess, 7)},
      {4, Expr::Op(ExpType::kRemainder, Expr::Op(ExpType::kAdd, n, Expr::Const(3)), Expr::Const(8))
              .Compile()},
      {5, Expr::Cond(Expr::Op(ExpType::kAnd, n, m), Expr::Const(2), Expr::Negate(m)).Compile()},
      {6, Comparison(4, ExpType::kLess, 3)},
      {7, Expr::Op(ExpType::kDivide, Expr::Op(ExpType::kMultiply, n, m), Expr::Const(2)).Compile()},
      {8, Expr::Not(m).Compile()},
      {9, Expr::Var(2).Compile()},
  };
  model.constraints = {{1}, {2, 3}, {6}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "a", .activeClocks = {{3, 0, 4}}, .invariant = 1},
                     {.name = "b", .activeClocks = {{3, 2, 0}}},
                     {.name = "c"}},
       .jumps = {{.from = 1,
                  .to = 2,
                  .guard = 2,
                  .syn = 1,
                  .synType = 1,
                  .assignments = {{1, 4}, {3, 0}}},
                 {.from = 2, .to = 3, .urgent = 1, .syn = 0, .assignments = {{2, 8}}},
                 {.from = 3,
                  .to = 1,
                  .syn = 2,
                  .synType = 1,
                  .broadcast = 1,
                  .assignments = {{1, 5}, {3, 0}}}}},
      {.name = "Q",
       .initLocation = 1,
       .locations = {{.name = "u", .activeClocks = {{4, 0, 3}}, .invariant = 3}, {.name = "v"}},
       .jumps = {{.from = 1, .to = 2, .syn = 1, .synType = 0, .assignments = {{4, 0}}},
                 {.from = 2,
                  .to = 1,
                  .syn = 2,
                  .synType = 0,
                  .broadcast = 1,
                  .assignments = {{1, 7}, {2, 9}}},
                 {.from = 2, .to = 1, .syn = 0, .assignments = {{4, 0}}}}}};
  model.properties = {
      {.type = 0, .atoms = {{.negated = 0, .variable = -1, .bound = 3}}},
      {.type = 1, .atoms = {{.negated = 1, .variable = 1, .bound = 7, .relation = 1}}},
      {.type = 0,
       .atoms = {{.negated = 0, .variable = 3, .bound = 3, .relation = 3},
                 {.negated = 0, .variable = -2, .bound = 2}}},
      {.type = 1, .atoms = {{.negated = 0, .variable = 2, .bound = 3, .relation = 5}}}};
  return model;
}

// One process whose clock no location lists, compared in a guard, and a wide integer.
ModelSpec Unlisted() {
  ModelSpec model;
  model.variables = {{.name = "k", .type = 0, .initValue = 5, .min = 0, .max = 1000},
                     {.name = "z", .type = 1, .initValue = 0, .min = 0, .max = 9}};
  model.expressions = {{0, Comparison(2, ExpType::kAtLeast, 2)},
                       {1, Expr::Op(ExpType::kSubtract, Expr::Var(1), Expr::Const(1)).Compile()},
                       {2, Comparison(1, ExpType::kGreater, 0)}};
  model.constraints = {{0, 2}};
  model.processes = {
      {.name = "R",
       .initLocation = 1,
       .locations = {{.name = "s"}},
       .jumps = {{.from = 1, .to = 1, .guard = 1, .syn = 0, .assignments = {{1, 1}, {2, 1}}}}}};
  model.properties = {
      {.type = 0, .atoms = {{.negated = 0, .variable = 1, .bound = 0, .relation = 1}}}};
  return model;
}

// Clocks and integers at the edges of their ranges: long delay runs and wide windows.
ModelSpec Wide() {
  constexpr int32_t kLarge = 2000000000;
  ModelSpec model;
  model.variables = {{.name = "w", .type = 0, .initValue = 0, .min = 0, .max = 2147483647},
                     {.name = "x", .type = 1, .initValue = 0, .min = 0, .max = 2147483647},
                     {.name = "y", .type = 1, .initValue = 0, .min = 0, .max = kLarge}};
  model.expressions = {{0, Expr::Const(0).Compile()},
                       {1, Comparison(2, ExpType::kAtLeast, 0)},
                       {2, Comparison(3, ExpType::kLess, kLarge)},
                       {3, Expr::Op(ExpType::kAdd, Expr::Var(1), Expr::Const(kLarge)).Compile()},
                       {4, Comparison(1, ExpType::kAtMost, 2147483647)}};
  model.constraints = {{1}, {2, 4}};
  model.processes = {
      {.name = "P",
       .initLocation = 1,
       .locations = {{.name = "a", .activeClocks = {{2, 0, kLarge}, {3, 0, kLarge}}},
                     {.name = "b", .activeClocks = {{3, 0, kLarge}}, .invariant = 2}},
       .jumps = {{.from = 1, .to = 1, .guard = 1, .syn = 0, .assignments = {{2, 0}}},
                 {.from = 1, .to = 2, .guard = 1, .syn = 0, .assignments = {{1, 3}}},
                 {.from = 2, .to = 1, .syn = 0, .assignments = {{3, 0}}}}}};
  model.properties = {
      {.type = 0, .atoms = {{.negated = 0, .variable = 3, .bound = kLarge, .relation = 3}}},
      {.type = 1, .atoms = {{.negated = 1, .variable = -1, .bound = 2}}}};
  return model;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::cerr << "usage: tickcheck-fuzz-seeds <output directory> [model file ...]\n";
    return 2;
  }
  const std::filesystem::path out = argv[1];
  for (const char* target : {"run", "profile", "expression", "language", "xml"})
    std::filesystem::create_directories(out / target);

  std::vector<std::filesystem::path> models;
  const std::vector<std::pair<std::string, ModelSpec>> written = {
      {"features.txt", Features()}, {"unlisted.txt", Unlisted()}, {"wide.txt", Wide()}};
  for (const auto& [name, model] : written) {
    const std::string error = WriteModelFile(model, (out / "run" / name).string());
    if (!error.empty()) {
      std::cerr << "tickcheck-fuzz-seeds: " << error << '\n';
      return 1;
    }
    models.push_back(out / "run" / name);
    for (const auto& [id, record] : model.expressions)
      WriteBytes(out / "expression" / (name + "-" + std::to_string(id)),
                 EncodeExpressionRecord(record) + "\n");
  }
  for (int i = 2; i < argc; ++i) {
    const std::filesystem::path model = argv[i];
    if (model.extension() == ".tck") {
      std::filesystem::path queries = model;
      queries.replace_extension(".q");
      WriteBytes(out / "language" / model.filename(), ReadBytes(model) + '\0' + ReadBytes(queries));
      continue;
    }
    if (model.extension() == ".xml") {
      WriteBytes(out / "xml" / model.filename(), ReadBytes(model));
      continue;
    }
    std::filesystem::copy_file(model, out / "run" / model.filename(),
                               std::filesystem::copy_options::overwrite_existing);
    models.push_back(out / "run" / model.filename());
  }
  const std::string lookups[][2] = {
      {"General", "ProcessNumber"}, {"Location1", "ActiveClock2-1"}, {"Expressions", "exp-3"}};
  for (const std::filesystem::path& model : models) {
    const std::string bytes = ReadBytes(model);
    for (const auto& [section, key] : lookups) {
      WriteBytes(out / "profile" / (model.filename().string() + "-" + section),
                 section + '\0' + key + '\0' + bytes);
    }
  }
  return 0;
}
