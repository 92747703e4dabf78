#include "support/random_language_models.h"

#include <random>
#include <set>
#include <vector>

namespace tickcheck::testing {
namespace {

// Joins the pieces; building strings by appending keeps g++ 12 from a false -Wrestrict warning
// on `"literal" + std::string`.
template <typename... Pieces>
std::string Cat(const Pieces&... pieces) {
  std::string joined;
  (joined.append(pieces), ...);
  return joined;
}

std::string Num(int value) {
  return std::to_string(value);
}

class Generator {
 public:
  explicit Generator(uint64_t seed) : random_(seed) {}

  RandomLanguageModel Make() {
    const int integers = 1 + Pick(2);
    for (int g = 0; g < integers; ++g) {
      uppers_.push_back(1 + Pick(3));
      text_ +=
          Cat("int[0,", Num(uppers_[g]), "] g", Num(g), " = ", Num(Pick(uppers_[g] + 1)), ";\n");
    }
    text_ += Cat("bool f = ", Pick(2) == 0 ? "false" : "true", ";\n");
    text_ += "int[0,2] a[2];\nchan c0, c1[2];\nbroadcast chan b0;\nclock global;\n";
    const int processes = 2 + Pick(2);
    const bool family = Pick(3) == 0;
    std::string system;
    for (int p = 0; p < processes; ++p) {
      const bool parameterised = family && p == processes - 1;
      Template(p, parameterised);
      if (parameterised) {
        names_.push_back(Cat("T", Num(p), "(0)"));
        names_.push_back(Cat("T", Num(p), "(1)"));
        locations_.push_back(locations_.back());
      } else {
        names_.push_back(Cat("T", Num(p)));
      }
      system += Cat(p > 0 ? ", T" : "T", Num(p));
    }
    text_ += Cat("system ", system, ";\n");
    return {text_, Queries()};
  }

 private:
  int Pick(int n) { return static_cast<int>(random_() % static_cast<uint64_t>(n)); }

  std::string Integer() { return Cat("g", Num(Pick(static_cast<int>(uppers_.size())))); }
  std::string Clock() {
    if (usesGlobal_ && Pick(4) == 0)
      return "global";
    return Cat("x", Num(Pick(clocks_)));
  }
  std::string Relation(bool notEqual) {
    static const std::vector<std::string> all = {"<", "<=", ">", ">=", "==", "!="};
    return all[static_cast<size_t>(Pick(notEqual ? 6 : 5))];
  }
  std::string Element() {
    const int kind = Pick(3);
    if (kind == 0)
      return Cat("a[", Num(Pick(2)), "]");
    if (kind == 1 || !parameterised_)
      return "a[f]";
    return "a[i]";
  }

  std::string Atom(bool clocks, bool notEqual) {
    switch (Pick(clocks ? 4 : 3)) {
      case 0:
        return Cat(Integer(), " ", Relation(true), " ", Num(Pick(3)));
      case 1:
        return Cat(Element(), " ", Relation(true), " ", Num(Pick(3)));
      case 2:
        return Pick(2) == 0 ? "f" : "!f";
      default:
        return Cat(Clock(), " ", Relation(notEqual), " ", Num(Pick(4)));
    }
  }

  std::string Guard(int depth) {
    if (depth == 0 || Pick(3) == 0)
      return Atom(true, true);
    switch (Pick(4)) {
      case 0:
        return Cat(Guard(depth - 1), " && ", Guard(depth - 1));
      case 1:
        return Cat("(", Guard(depth - 1), " || ", Guard(depth - 1), ")");
      case 2:
        return Cat("!(", Guard(depth - 1), ")");
      default:
        return Cat("(", Guard(depth - 1), " imply ", Guard(depth - 1), ")");
    }
  }

  std::string Assignment() {
    const std::string g = Integer();
    switch (Pick(6)) {
      case 0:
        return Cat(Clock(), " = 0");
      case 1:
        return Cat("x", Num(Pick(clocks_)), " = ", Num(Pick(2)));
      case 2:
        return Cat(g, " = ", g, " + 1");  // may leave the range
      case 3:
        return Cat(g, " = (", g, " + 1) % ", Num(Pick(3) + 1));
      case 4:
        return Cat(Element(), " = ", Num(Pick(3)));
      default:
        return "f = !f";
    }
  }

  void Template(int p, bool parameterised) {
    parameterised_ = parameterised;
    clocks_ = 1 + Pick(2);
    usesGlobal_ = p == 0;
    const int locations = 2 + Pick(3);
    locations_.push_back(locations);
    text_ += Cat("process T", Num(p), "(", parameterised ? "const int[0,1] i" : "",
                 ") {\n  clock x0", clocks_ > 1 ? ", x1" : "", ";\n  state ");
    for (int l = 0; l < locations; ++l) {
      text_ += Cat(l > 0 ? ", l" : "l", Num(l));
      if (Pick(3) == 0) {
        const bool strict = Pick(2) == 0;
        text_ += Cat(" { x", Num(Pick(clocks_)),
                     strict ? " < " : " <= ", Num(Pick(3) + (strict ? 1 : 0)), " }");
      }
    }
    text_ += ";\n  init l0;\n  trans\n";
    std::set<int> receiving;
    const int edges = locations + Pick(3);
    for (int e = 0; e < edges; ++e) {
      const int from = Pick(locations);
      std::string body;
      std::string sync;
      bool receiver = false;
      switch (Pick(6)) {
        case 0:
          sync = Pick(2) == 0 ? "c0!" : "c0?";
          break;
        case 1:
          sync = Cat("c1[", Pick(2) == 0 ? "f" : "1", "]", Pick(2) == 0 ? "!" : "?");
          break;
        case 2:
          receiver = receiving.insert(from).second;
          sync = receiver ? "b0?" : "b0!";
          break;
        case 3:
          sync = "b0!";
          break;
        default:
          break;
      }
      if (Pick(3) != 0) {
        body += Cat(" guard ",
                    receiver ? Cat(Atom(true, false), " && ", Atom(false, false)) : Guard(2), ";");
      }
      if (!sync.empty())
        body += Cat(" sync ", sync, ";");
      if (Pick(2) == 0) {
        body += Cat(" assign ", Assignment());
        if (Pick(2) == 0)
          body += Cat(", ", Assignment());
        body += ";";
      }
      text_ += Cat("    l", Num(from), " -> l", Num(Pick(locations)), " {", body, " }",
                   e + 1 < edges ? ",\n" : ";\n");
    }
    text_ += "}\n";
  }

  std::string LocationOf(std::string& process) {
    const size_t p = static_cast<size_t>(Pick(static_cast<int>(names_.size())));
    process = names_[p];
    return Cat(process, ".l", Num(Pick(locations_[p])));
  }

  std::string QueryAtom() {
    std::string process;
    switch (Pick(5)) {
      case 0:
      case 1:
        return LocationOf(process);
      case 2:
        return Cat("g", Num(Pick(static_cast<int>(uppers_.size()))), " ", Relation(true), " ",
                   Num(Pick(4)));
      case 3:
        return Cat("a[", Num(Pick(2)), "] ", Relation(true), " ", Num(Pick(3)));
      default:
        LocationOf(process);
        return Cat(process, ".x0 ", Relation(true), " ", Num(Pick(5)));
    }
  }

  std::string Queries() {
    std::string queries;
    const int count = 3 + Pick(3);
    for (int q = 0; q < count; ++q) {
      std::string formula = QueryAtom();
      switch (Pick(4)) {
        case 0:
          formula = Cat(formula, " && ", QueryAtom());
          break;
        case 1:
          formula = Cat(QueryAtom(), " imply ", formula);
          break;
        case 2:
          formula = Cat("not (", formula, " || ", QueryAtom(), ")");
          break;
        default:
          break;
      }
      if (Pick(6) == 0)
        formula = Cat(formula, " && global ", Relation(true), " ", Num(Pick(5)));
      queries += Cat(Pick(2) == 0 ? "E<> " : "A[] ", formula, "\n");
    }
    return queries;
  }

  std::mt19937_64 random_;
  std::string text_;
  std::vector<int> uppers_;
  std::vector<std::string> names_;
  std::vector<int> locations_;
  int clocks_ = 1;
  bool usesGlobal_ = false;
  bool parameterised_ = false;
};

}  // namespace

RandomLanguageModel MakeRandomLanguageModel(uint64_t seed) {
  return Generator(seed).Make();
}

}  // namespace tickcheck::testing
