// Writes CSMA/CD for N stations in the modelling language, with its queries next to it (the output
// path with the extension ".q"), for benchmarks of models with many clocks and broadcasts:
//
//   tickcheck-csma <stations> <frame time> <propagation delay> <output .tck file>
//
// The frame time and the propagation delay are the constants LAMBDA and SIGMA of
// examples/csma-cd.tck, which `tickcheck-csma 2 8 2` writes.
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

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
  if (argc != 5) {
    std::cerr
        << "usage: tickcheck-csma <stations> <frame time> <propagation delay> <output file>\n";
    return 2;
  }
  const int stations = Number(argv[1]);
  const int lambda = Number(argv[2]);
  const int sigma = Number(argv[3]);
  const std::string output = argv[4];
  if (stations < 2 || stations > 255 || lambda < 1 || sigma < 1 || lambda > 1000000 ||
      sigma > 1000000) {
    std::cerr << "tickcheck-csma: needs 2 to 255 stations and times from 1 to 1000000\n";
    return 2;
  }
  const tickcheck::LanguageModel model = tickcheck::CsmaLanguage(stations, lambda, sigma);
  const std::string queries = std::filesystem::path(output).replace_extension(".q").string();
  if (!WriteText(output, model.model) || !WriteText(queries, model.queries)) {
    std::cerr << "tickcheck-csma: cannot write " << output << " or " << queries << '\n';
    return 1;
  }
  return 0;
}
