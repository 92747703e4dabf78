// Writes the bundled example models into a directory:
//
//   tickcheck-examples <directory>
//
// fischer3-correct.txt (set delay 2, wait delay 2), fischer3-incorrect.txt (set delay 2, wait
// delay 1) and train-gate.txt, and the modelling-language forms of the first two: fischer.tck and
// fischer-incorrect.tck with their queries fischer.q and fischer-incorrect.q.
#include <fstream>
#include <iostream>
#include <string>

#include "model/model_writer.h"
#include "tools/example_models.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "usage: tickcheck-examples <directory>\n";
    return 2;
  }
  const std::string directory = argv[1];
  const std::pair<const char*, tickcheck::ModelSpec> examples[] = {
      {"fischer3-correct.txt", tickcheck::FischerModel(3, 2, 2)},
      {"fischer3-incorrect.txt", tickcheck::FischerModel(3, 2, 1)},
      {"train-gate.txt", tickcheck::TrainGateModel()}};
  for (const auto& [name, model] : examples) {
    const std::string error = tickcheck::WriteModelFile(model, directory + "/" + name);
    if (!error.empty()) {
      std::cerr << "tickcheck-examples: " << error << '\n';
      return 1;
    }
  }
  const std::pair<const char*, tickcheck::LanguageModel> languageExamples[] = {
      {"fischer", tickcheck::FischerLanguage(3, 2, 2)},
      {"fischer-incorrect", tickcheck::FischerLanguage(3, 2, 1)}};
  for (const auto& [name, language] : languageExamples) {
    const std::string stem = directory + "/" + name;
    std::ofstream model(stem + ".tck", std::ios::binary | std::ios::trunc);
    std::ofstream queries(stem + ".q", std::ios::binary | std::ios::trunc);
    model << language.model;
    queries << language.queries << tickcheck::FischerLivenessQueries();
    if (!model.flush() || !queries.flush()) {
      std::cerr << "tickcheck-examples: cannot write " << stem << ".tck or " << stem << ".q\n";
      return 1;
    }
  }
  return 0;
}
