// Writes Fischer's mutual exclusion protocol for N processes as a tickcheck model file, or with
// --language as a model in the modelling language with its queries next to it (the output path
// with the extension ".q"). With --chain K (model files only) the critical section leads through K
// more locations before the process returns to idle, a variant for measuring memory:
//
//   tickcheck-fischer [--language | --chain K] <processes> <set delay> <wait delay> <output file>
//
// Mutual exclusion (property 1 is 0, the first query not satisfied) holds exactly when
// set delay <= wait delay.
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "model/model_writer.h"
#include "tools/example_models.h"

namespace {

// The whole argument as a decimal number, or -1 when it is not one.
int Number(const char* text) {
  int value = -1;
  const char* end = text + std::strlen(text);
  const auto [rest, error] = std::from_chars(text, end, value);
  return error == std::errc() && rest == end ? value : -1;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string first = argc > 1 ? argv[1] : "";
  const bool language = first == "--language";
  const bool chained = first == "--chain";
  const int skipped = language ? 1 : (chained ? 2 : 0);
  const int chain = chained && argc > 2 ? Number(argv[2]) : 0;
  if (argc != 5 + skipped || chain < 0 || chain > 1000) {
    std::cerr << "usage: tickcheck-fischer [--language | --chain K] <processes> <set delay> "
                 "<wait delay> <output file>  (K from 0 to 1000)\n";
    return 2;
  }
  char** numbers = argv + 1 + skipped;
  const int processes = Number(numbers[0]);
  const int setDelay = Number(numbers[1]);
  const int waitDelay = Number(numbers[2]);
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
  const std::string error = tickcheck::WriteModelFile(
      tickcheck::FischerModel(processes, setDelay, waitDelay, chain), output);
  if (!error.empty()) {
    std::cerr << "tickcheck-fischer: " << error << '\n';
    return 1;
  }
  return 0;
}
