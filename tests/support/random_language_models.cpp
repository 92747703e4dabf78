#include "support/random_language_models.h"

#include <random>
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
    Declarations();
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
  bool Chance(int n) { return Pick(n) == 0; }
  template <typename T>
  const T& OneOf(const std::vector<T>& options) {
    return options[static_cast<size_t>(Pick(static_cast<int>(options.size())))];
  }

  // The global declarations; each optional part is there in some models only, so that the state
  // spaces stay small.
  void Declarations() {
    const int integers = 1 + Pick(2);
    for (int g = 0; g < integers; ++g) {
      uppers_.push_back(1 + Pick(3));
      text_ +=
          Cat("int[0,", Num(uppers_[g]), "] g", Num(g), " = ", Num(Pick(uppers_[g] + 1)), ";\n");
    }
    text_ += Cat("bool f = ", Chance(2) ? "false" : "true", ";\n");
    text_ += "int[0,2] a[2];\nchan c0, c1[2];\nbroadcast chan b0;\nclock global;\n";
    timing_ = Chance(2);
    if (timing_)
      text_ += "urgent chan u0;\nurgent broadcast chan ub[2];\n";
    text_ += Cat("const int K[3] = {", Num(Pick(3)), ", ", Num(Pick(3)), ", 1};\n");
    negative_ = Chance(2);
    if (negative_)
      text_ += Cat("meta int[-2,2] s = ", Num(Pick(5) - 2), ";\n");
    typed_ = Chance(2);
    if (typed_) {
      text_ += Cat("typedef int[1,3] id_t;\nint[0,3] q[id_t] = {", Num(Pick(2)), ", 0, ",
                   Num(Pick(2)), "};\n");
    }
    record_ = !typed_ && Chance(2);
    if (record_) {
      text_ +=
          "typedef struct { int[-1,2] v; bool on[2]; } cell_t;\ncell_t r[2] = {{0, {true, false}}, "
          "{1, {false, false}}};\nint[0,1] m[2][2];\n";
    }
    functions_ = Chance(2);
    if (functions_)
      Functions();
  }

  void Functions() {
    // A loop with a local, a result that may leave its range, a call in a condition.
    text_ += Cat("int[0,5] count(int[0,3] limit) {\n  int k = 0;\n  int i;\n",
                 "  for (i = 0; i < limit; i++) {\n    if (K[i % 3] == 0) continue;\n",
                 "    k += K[i % 3];\n  }\n  return k;\n}\n");
    // A reference parameter, a do-while loop with break.
    text_ += Cat("void bump(int[0,2] &x, int d) {\n  int n = 0;\n  do {\n    x = x + d;\n",
                 "    n++;\n    if (n >= ", Num(1 + Pick(2)), ") break;\n  } while (true);\n}\n");
    if (typed_) {
      text_ +=
          "bool full() { return forall (i : id_t) q[i] > 0; }\n"
          "void rotate() {\n  int first = q[1];\n  for (i : int[1,2]) q[i] = q[i + 1];\n"
          "  q[3] = first;\n}\n";
    }
    // A local array, an element of it passed by reference with a variable index.
    text_ +=
        "int[0,2] shuffle(int[0,2] v) {\n  int[0,2] t[2] = {v, 0};\n  bump(t[g0 % 2], 1);\n"
        "  return t[0];\n}\n";
    if (record_) {
      text_ +=
          "int[-1,2] value(cell_t c) { return c.on[1] ? -c.v : c.v; }\n"
          "int[-1,2] flip() {\n  cell_t c = r[!f];\n  c.v = -c.v;\n  return c.v;\n}\n"
          "void toggle(cell_t &c) {\n  c.on[0] = !c.on[0];\n  c.v += 1;\n}\n"
          "int[-2,4] total() {\n  int t = 0;\n  int i = 0;\n  while (i < 2) { t += r[i].v; "
          "i++; }\n  return t;\n}\n";
    }
  }

  std::string Integer() { return Cat("g", Num(Pick(static_cast<int>(uppers_.size())))); }
  std::string Clock() {
    if (usesGlobal_ && Chance(4))
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
  // An index of q that never leaves it.
  std::string Id() {
    if (select_ && Chance(2))
      return "k";
    return Cat("(", Integer(), " % 3 + 1)");
  }

  // An integer value whose evaluation never fails.
  std::string Value() {
    std::vector<std::string> options = {Num(Pick(3)), Integer(), Element(),
                                        Cat("K[", Integer(), " % 3]")};
    if (negative_)
      options.push_back("s");
    if (typed_)
      options.push_back(Cat("q[", Id(), "]"));
    if (record_)
      options.push_back(Cat("r[f].v"));
    if (functions_)
      options.push_back(Chance(2) ? Cat("count(", Integer(), ")")
                                  : Cat("shuffle(", Element(), ")"));
    if (functions_ && record_)
      options.push_back("value(r[f])");
    if (record_)
      options.push_back(Cat("m[", Integer(), " % 2][f]"));
    if (select_)
      options.push_back("k");
    return OneOf(options);
  }

  std::string Atom(bool clocks, bool notEqual) {
    switch (Pick(clocks ? 6 : 5)) {
      case 0:
        return Cat(Integer(), " ", Relation(true), " ", Num(Pick(3)));
      case 1:
        return Cat(Element(), " ", Relation(true), " ", Num(Pick(3)));
      case 2:
        return Chance(2) ? "f" : "!f";
      case 3:
        return Cat(Value(), " ", Relation(true), " ", Value());
      case 4:
        if (typed_ && Chance(2))
          return Cat("(", Chance(2) ? "forall" : "exists", " (j : id_t) q[j] ", Relation(true), " ",
                     Value(), ")");
        if (functions_ && typed_ && Chance(2))
          return "full()";
        return Cat("(", Value(), " & 1) == ", Num(Pick(2)));
      default:
        if (Chance(3))
          return Cat(Clock(), " ", Relation(notEqual), " ", Integer(), " + ", Num(Pick(2)));
        return Cat(Clock(), " ", Relation(notEqual), " ", Num(Pick(4)));
    }
  }

  // A guard; without clocks for an edge on an urgent channel.
  std::string Guard(int depth, bool clocks) {
    if (depth == 0 || Chance(3))
      return Atom(clocks, true);
    switch (Pick(4)) {
      case 0:
        return Cat(Guard(depth - 1, clocks), " && ", Guard(depth - 1, clocks));
      case 1:
        return Cat("(", Guard(depth - 1, clocks), " || ", Guard(depth - 1, clocks), ")");
      case 2:
        return Cat("!(", Guard(depth - 1, clocks), ")");
      default:
        return Cat("(", Guard(depth - 1, clocks), " imply ", Guard(depth - 1, clocks), ")");
    }
  }

  // An update; on an edge without sync it may fail (a division by zero, an index outside its
  // array, a shift count out of range).
  std::string Assignment(bool mayFail) {
    const std::string g = Integer();
    switch (Pick(12)) {
      case 0:
        return Cat(Clock(), " = 0");
      case 1:
        return Cat("x", Num(Pick(clocks_)), " = ", Chance(2) ? g : Num(Pick(2)));
      case 2:
        return Cat(g, " = ", g, " + 1");  // may leave the range
      case 3:
        return Cat(g, " = (", g, " + 1) % ", Num(Pick(3) + 1));
      case 4:
        return Cat(Element(), " = ", Num(Pick(3)));
      case 5:
        return Chance(2) ? "f = !f" : Cat("f = ", Value());
      case 6:
        return Cat(g, Chance(2) ? "++" : "--");
      case 7:
        if (mayFail)
          return Cat("a[", g, "] = ", Num(Pick(3)));  // g may leave a
        return Cat(g, " ^= ", Num(1 + Pick(2)));
      case 8:
        if (negative_)
          return mayFail && Chance(2) ? Cat(g, " = 2 / s") : Cat("s = -s + ", g, " - 1");
        return Cat(g, " = ", g, " << ", Num(Pick(2)));
      case 9:
        if (typed_)
          return Cat("q[", Id(), "] = ", Value(), " % 4");
        if (record_ && functions_ && mayFail && Chance(2))
          return Cat(g, " = flip() + 1");  // a local record that may leave its range
        if (record_)
          return Cat("r[", Chance(2) ? "f" : "!f", "].v = ", Value(), " - 1");
        return Cat(g, " = K[", g, " % 3]");
      case 10:
        if (functions_) {
          if (typed_ && Chance(2))
            return "rotate()";
          if (record_ && Chance(2))
            return Cat("toggle(r[", Num(Pick(2)), "])");
          return Cat("bump(", Element(), ", ", Num(Pick(3) - 1), ")");
        }
        return Cat(g, " = ", g, " > 0 ? ", g, " - 1 : 0");
      default:
        if (record_) {
          if (Chance(2))
            return Cat("r[0] = r[1]");
          return mayFail ? Cat("m[f][", g, "] = 1")
                         : Cat("m[", g, " % 2][!f] ^= 1");  // g may leave m[f]
        }
        return Cat(g, " |= ", Num(Pick(2)));
    }
  }

  void Template(int p, bool parameterised) {
    parameterised_ = parameterised;
    clocks_ = 1 + Pick(2);
    usesGlobal_ = p == 0 || Chance(2);
    const int locations = 2 + Pick(3);
    locations_.push_back(locations);
    text_ += Cat("process T", Num(p), "(", parameterised ? "const int[0,1] i" : "",
                 ") {\n  clock x0", clocks_ > 1 ? ", x1" : "", ";\n  state ");
    for (int l = 0; l < locations; ++l) {
      text_ += Cat(l > 0 ? ", l" : "l", Num(l));
      if (Chance(3)) {
        const bool strict = Chance(2);
        const std::string bound = Chance(4) ? Cat(Integer(), " + ") : "";
        text_ += Cat(" { x", Num(Pick(clocks_)), strict ? " < " : " <= ", bound,
                     Num(Pick(3) + (strict ? 1 : 0)), " }");
      }
    }
    text_ += ";\n";
    if (timing_)
      TimedLocations(locations);
    text_ += "  init l0;\n  trans\n";
    const int edges = locations + Pick(3);
    for (int e = 0; e < edges; ++e) {
      const int from = Pick(locations);
      std::string body;
      std::string sync;
      bool urgent = false;
      switch (Pick(timing_ ? 8 : 6)) {
        case 0:
          sync = Chance(2) ? "c0!" : "c0?";
          break;
        case 1:
          sync = Cat("c1[", Chance(2) ? "f" : "1", "]", Chance(2) ? "!" : "?");
          break;
        case 2:
          sync = Chance(3) ? "b0!" : "b0?";
          break;
        case 3:
          sync = Chance(2) ? "b0!" : "b0?";
          break;
        case 6:
          urgent = true;
          sync = Chance(2) ? "u0!" : "u0?";
          break;
        case 7:
          urgent = true;
          sync = Cat("ub[", Chance(2) ? "f" : "0", "]", Chance(3) ? "!" : "?");
          break;
        default:
          break;
      }
      select_ = sync.empty() && typed_ && Chance(3);
      if (select_)
        body += " select k : id_t;";
      if (!Chance(3))
        body += Cat(" guard ", Guard(2, !urgent), ";");
      if (!sync.empty())
        body += Cat(" sync ", sync, ";");
      if (Chance(2)) {
        body += Cat(" assign ", Assignment(sync.empty()));
        if (Chance(2))
          body += Cat(", ", Assignment(sync.empty()));
        body += ";";
      }
      text_ += Cat("    l", Num(from), " -> l", Num(Pick(locations)), " {", body, " }",
                   e + 1 < edges ? ",\n" : ";\n");
    }
    select_ = false;
    text_ += "}\n";
  }

  // Some locations committed, some urgent.
  void TimedLocations(int locations) {
    std::vector<std::string> committed;
    std::vector<std::string> urgent;
    for (int l = 0; l < locations; ++l) {
      if (Chance(5))
        committed.push_back(Cat("l", Num(l)));
      else if (Chance(6))
        urgent.push_back(Cat("l", Num(l)));
    }
    const std::pair<const char*, const std::vector<std::string>*> kinds[] = {{"commit", &committed},
                                                                             {"urgent", &urgent}};
    for (const auto& [word, names] : kinds) {
      if (names->empty())
        continue;
      text_ += Cat("  ", word, " ");
      for (size_t k = 0; k < names->size(); ++k)
        text_ += Cat(k > 0 ? ", " : "", (*names)[k]);
      text_ += ";\n";
    }
  }

  std::string LocationOf(std::string& process) {
    const size_t p = static_cast<size_t>(Pick(static_cast<int>(names_.size())));
    process = names_[p];
    return Cat(process, ".l", Num(Pick(locations_[p])));
  }

  std::string QueryAtom() {
    std::string process;
    if (Chance(8))
      return Chance(2) ? "deadlock" : "!deadlock";
    switch (Pick(7)) {
      case 0:
      case 1:
        return LocationOf(process);
      case 2:
        return Cat(Integer(), " ", Relation(true), " ", Num(Pick(4)));
      case 3:
        return Cat("a[", Num(Pick(2)), "] ", Relation(true), " ", Num(Pick(3)));
      case 4:
        return Cat(Value(), " ", Relation(true), " ", Value());
      case 5:
        if (typed_)
          return Cat("(", Chance(2) ? "forall" : "exists", " (j : id_t) q[j] ", Relation(true), " ",
                     Value(), ")");
        if (record_) {
          return Cat("r[0].on[", Num(Pick(2)), "] ", Chance(2) ? "&&" : "||",
                     functions_ ? " total() " : " r[1].v ", Relation(true), " ", Num(Pick(3)));
        }
        return Cat("(sum (j : int[0,1]) a[j]) ", Relation(true), " ", Num(Pick(4)));
      default:
        LocationOf(process);
        return Cat(process, ".x0 ", Relation(true), " ", Chance(3) ? Integer() : Num(Pick(5)));
    }
  }

  std::string Queries() {
    parameterised_ = false;
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
          formula = Cat("not (", formula, " ||\n  ", QueryAtom(), ")");
          break;
        default:
          break;
      }
      if (Chance(6))
        formula = Cat(formula, " && global ", Relation(true), " ", Num(Pick(5)));
      queries += Cat(Chance(2) ? "E<> " : "A[] ", formula, Chance(4) ? " // a comment" : "", "\n");
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
  bool timing_ = false;  // committed and urgent locations, urgent channels
  bool parameterised_ = false;
  bool negative_ = false;
  bool typed_ = false;
  bool record_ = false;
  bool functions_ = false;
  bool select_ = false;  // the edge being written selects k : id_t
};

}  // namespace

RandomLanguageModel MakeRandomLanguageModel(uint64_t seed) {
  return Generator(seed).Make();
}

}  // namespace tickcheck::testing
