// Writes Fischer's mutual exclusion protocol for N processes as a tickcheck model file, or with
// --language as a model in the modelling language with its queries next to it (the output path
// with the extension ".q"):
//
//   tickcheck-fischer [--language] <processes> <set delay> <wait delay> <output file>
//
// Mutual exclusion (property 1 is 0, the first query not satisfied) holds exactly when
// set delay <= wait delay.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "model/model_writer.h"
#include "tools/example_models.h"

namespace {

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool language = argc > 1 && std::string(argv[1]) == "--language";
  if (argc != (language ? 6 : 5)) {
    std::cerr << "usage: tickcheck-fischer [--language] <processes> <set delay> <wait delay> "
                 "<output file>\n";
    return 2;
  }
  char** numbers = argv + (language ? 2 : 1);
  const int processes = std::atoi(numbers[0]);
  const int setDelay = std::atoi(numbers[1]);
  const int waitDelay = std::atoi(numbers[2]);
  const std::string output = numbers[3];
  if (processes < 2 || processes > 64 || setDelay < 0 || waitDelay < 0 || setDelay > 1000000 ||
      waitDelay > 1000000) {
    std::cerr << "tickcheck-fischer: needs 2 to 64 processes and delays from 0 to 1000000\n";
    return 2;
  }
  if (language) {
    const tickcheck::LanguageModel model =
        tickcheck::FischerLanguage(processes, setDelay, waitDelay);
    const std::string queries = std::filesystem::path(output).replace_extension(".q").string();
    if (!WriteText(output, model.model) || !WriteText(queries, model.queries)) {
      std::cerr << "tickcheck-fischer: cannot write " << output << " or " << queries << '\n';
      return 1;
    }
    return 0;
  }
  const std::string error =
      tickcheck::WriteModelFile(tickcheck::FischerModel(processes, setDelay, waitDelay), output);
  if (!error.empty()) {
    std::cerr << "tickcheck-fischer: " << error << '\n';
    return 1;
  }
  return 0;
}
