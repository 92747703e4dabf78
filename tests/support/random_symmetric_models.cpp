#include "support/random_symmetric_models.h"

#include <random>
#include <set>
#include <vector>

namespace tickcheck::testing {
namespace {

const std::vector<std::string> kLocations = {"A", "B", "C", "D"};

class Generator {
 public:
  explicit Generator(uint64_t seed) : random_(seed) {}

  RandomSymmetricModel Make() {
    RandomSymmetricModel made;
    templates_.push_back(
        {"P", "pid_t", Pick(2, 4), Chance(0.5), Chance(0.4), Pick(0, 1), Chance(0.4), Chance(0.3)});
    if (Chance(0.35))
      templates_.push_back({"Q", "qid_t", Pick(2, 3), Chance(0.5), Chance(0.4), Pick(0, 1),
                            Chance(0.4), Chance(0.3)});
    made.breaksSymmetry = Chance(0.15);
    // The controller receives on a member's channel by a constant index.
    breakByChannel_ =
        made.breaksSymmetry && templates_[0].channels && !templates_[0].scalar && Chance(0.5);
    std::string text =
        "int[0,3] g = 0;\nchan go;\nbroadcast chan tick;\nclock t;\n"
        "typedef struct { int[0,2] n; bool on; } st_t;\n";
    for (const Template& t : templates_) {
      if (t.scalar) {
        text += "typedef scalar[" + Num(t.members) + "] " + t.type + ";\n";
        text += "bool flag" + t.name + "[" + t.type + "];\n";
        text += "int[0,2] cnt" + t.name + "[" + t.type + "];\n";
        // A global of the set starts at the first value, whose member stays in place.
        if (t.global)
          text += t.type + " at" + t.name + ";\n";
      } else {
        const std::string values = "int[" + t.None() + "," + t.Id(t.members - 1) + "] ";
        text += "typedef int[" + t.Id(0) + "," + t.Id(t.members - 1) + "] " + t.type + ";\n";
        text += values + "owner" + t.name + " = " + t.None() + ";\n";
        text += values + "last" + t.name + " = " + t.None() + ";\n";
        text += "bool flag" + t.name + "[" + t.type + "];\n";
        text += values + "pend" + t.name + " = " + t.None() + ";\n";
      }
      text += "st_t st" + t.name + "[" + t.type + "];\n";
      if (t.channels)
        text += "chan req" + t.name + "[" + t.type + "], ack" + t.name + "[" + t.type + "];\n";
    }
    for (size_t k = 0; k < templates_.size(); ++k)
      text += Process(templates_[k], k == 0 && made.breaksSymmetry && !breakByChannel_);
    text += Controller(made.breaksSymmetry);
    text += "system ";
    for (const Template& t : templates_)
      text += t.name + ", ";
    text += "Ctl;\n";
    made.model = text;
    const int32_t queries = Pick(3, 6);
    for (int32_t q = 0; q < queries; ++q)
      made.queries += Query() + "\n";
    return made;
  }

 private:
  struct Template {
    std::string name;
    std::string type;
    int32_t members = 2;
    bool scalar = false;
    bool channels = false;  // channel arrays indexed by the identity, with the controller
    int32_t lower = 1;      // integer identities: the first (0 or 1)
    bool global = false;    // a scalar set: a global variable of the set
    bool second = false;    // a second parameter, 2 in every instance
    // The identity of member k (0-based), and a value that is no member's.
    std::string Id(int32_t k) const { return std::to_string(scalar ? k : k + lower); }
    std::string None() const { return std::to_string(lower - 1); }
    // The process name of member k (0-based).
    std::string Member(int32_t k) const { return name + "(" + Id(k) + (second ? ", 2" : "") + ")"; }
  };

  static std::string Num(int64_t value) { return std::to_string(value); }
  int32_t Pick(int32_t lo, int32_t hi) {
    return std::uniform_int_distribution<int32_t>(lo, hi)(random_);
  }
  bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }
  template <typename T>
  const T& Any(const std::vector<T>& options) {
    return options[static_cast<size_t>(Pick(0, static_cast<int32_t>(options.size()) - 1))];
  }
  const std::string& Location() { return Any(kLocations); }

  std::string Guard(const Template& t) {
    std::vector<std::string> atoms = {"x >= " + Num(Pick(0, 4)),
                                      "x <= " + Num(Pick(0, 4)),
                                      "x > " + Num(Pick(0, 3)),
                                      t.second ? "c < k" : "c < 2",
                                      "c == 0",
                                      "g < 3",
                                      "g == " + Num(Pick(0, 3))};
    if (t.scalar) {
      for (const std::string& atom : std::vector<std::string>{
               "flag" + t.name + "[i]", "!flag" + t.name + "[i]", "cnt" + t.name + "[i] < 2",
               "me == i", "me != i", "st" + t.name + "[i].on", "st" + t.name + "[me].n < 2"})
        atoms.push_back(atom);
      if (t.global) {
        atoms.push_back("at" + t.name + " == i");
        atoms.push_back("at" + t.name + " != me");
        atoms.push_back("st" + t.name + "[at" + t.name + "].on");
      }
    } else {
      for (const std::string& atom : std::vector<std::string>{
               "owner" + t.name + " == " + t.None(), "owner" + t.name + " == i",
               "owner" + t.name + " != i", "last" + t.name + " != i",
               "owner" + t.name + " == last" + t.name, "!flag" + t.name + "[i]",
               "(owner" + t.name + " == " + t.None() + " || flag" + t.name + "[owner" + t.name +
                   "])",
               "st" + t.name + "[i].on",
               "(owner" + t.name + " == " + t.None() + " || st" + t.name + "[owner" + t.name +
                   "].n < 2)"})
        atoms.push_back(atom);
    }
    std::string guard;
    for (int32_t k = Pick(0, 2); k > 0; --k)
      guard += (guard.empty() ? "" : " && ") + Any(atoms);
    return guard;
  }

  std::string Updates(const Template& t) {
    std::vector<std::string> updates = {"x = 0", "c = (c + 1) % 3", "g = (g + 1) % 4"};
    if (t.scalar) {
      updates.push_back("flag" + t.name + "[i] = !flag" + t.name + "[i]");
      updates.push_back("cnt" + t.name + "[i] = (cnt" + t.name + "[i] + 1) % 3");
      updates.push_back("me = i");
      updates.push_back("st" + t.name + "[me].n = (st" + t.name + "[me].n + 1) % 3");
      if (t.global)
        updates.push_back("at" + t.name + " = i");
    } else {
      updates.push_back("owner" + t.name + " = i");
      updates.push_back("owner" + t.name + " = " + t.None());
      updates.push_back("last" + t.name + " = owner" + t.name);
      updates.push_back("flag" + t.name + "[i] = !flag" + t.name + "[i]");
    }
    updates.push_back("st" + t.name + "[i].on = !st" + t.name + "[i].on");
    std::string list;
    for (int32_t k = Pick(0, 2); k > 0; --k)
      list += (list.empty() ? "" : ", ") + Any(updates);
    return list;
  }

  std::string Process(const Template& t, bool breaks) {
    std::string text = "process " + t.name + "(const " + t.type + " i" +
                       (t.second ? ", const int[2,2] k" : "") + ") {\n  clock x;\n";
    text += "  int[0,2] c = 0;\n";
    if (t.scalar)
      text += "  " + t.type + " me = i;\n";
    text += "  state ";
    for (size_t l = 0; l < kLocations.size(); ++l) {
      text += (l == 0 ? "" : ", ") + kLocations[l];
      if (l > 0 && Chance(0.4))
        text += " { x <= " + Num(Pick(2, 5)) + " }";
    }
    text += ";\n";
    // Committed and urgent locations stop time; a committed one also makes the
    // next step its own.
    if (Chance(0.25))
      text += "  commit " + kLocations[static_cast<size_t>(Pick(1, 3))] + ";\n";
    else if (Chance(0.25))
      text += "  urgent " + kLocations[static_cast<size_t>(Pick(1, 3))] + ";\n";
    text += "  init A;\n  trans\n";
    std::vector<std::string> edges;
    receives_.clear();
    // A way back to A from every location keeps most of the space reachable.
    for (size_t l = 1; l < kLocations.size(); ++l)
      edges.push_back(Edge(t, kLocations[l - 1], kLocations[l]));
    for (int32_t k = Pick(2, 4); k > 0; --k)
      edges.push_back(Edge(t, Location(), Location()));
    if (breaks) {
      edges.push_back(t.scalar ? "    A -> B { guard me == 1; assign c = 1; }"
                               : "    A -> B { guard c == 0; assign c = (i + 1) % 3; }");
    }
    for (size_t e = 0; e < edges.size(); ++e)
      text += edges[e] + (e + 1 < edges.size() ? ",\n" : ";\n");
    return text + "}\n";
  }

  std::string Edge(const Template& t, const std::string& from, const std::string& to) {
    std::string body;
    const std::string guard = Guard(t);
    if (!guard.empty())
      body += " guard " + guard + ";";
    const double kind = std::uniform_real_distribution<double>(0, 1)(random_);
    if (kind < 0.2) {
      body += " sync go!;";
    } else if (kind < 0.3 && t.channels) {
      body += Chance(0.5) ? " sync req" + t.name + "[i]!;" : " sync ack" + t.name + "[i]?;";
    } else if (kind < 0.3 && receives_.insert(from).second) {
      // A broadcast receive touches only the receiver's own variables.
      body += " sync tick?; assign " + std::string(Chance(0.5) ? "x = 0" : "c = 0") + ";";
      return "    " + from + " -> " + to + " {" + body + " }";
    }
    const std::string updates = Updates(t);
    if (!updates.empty())
      body += " assign " + updates + ";";
    return "    " + from + " -> " + to + " {" + body + " }";
  }

  std::string Controller(bool breaks) {
    const Template& t = templates_[0];
    std::string check = t.scalar ? "g != 3" : "owner" + t.name + " == " + t.None();
    if (breaks && !t.scalar && !breakByChannel_)
      check = "owner" + t.name + " == " + t.Id(0);
    std::string states = "I, J { y <= 3 }";
    std::string edges;
    // A request on a member's channel, answered on the member's other channel
    // (for integer identities through a variable that remembers it).
    for (const Template& c : templates_) {
      if (!c.channels)
        continue;
      const std::string pend = "pend" + c.name;
      states += ", R" + c.name;
      if (&c == &templates_[0] && breakByChannel_)
        edges += "    I -> R" + c.name + " { sync req" + c.name + "[" + c.Id(0) + "]?; assign " +
                 pend + " = " + c.Id(0) + "; },\n";
      else if (c.scalar)
        edges += "    I -> R" + c.name + " { select e : " + c.type + "; sync req" + c.name +
                 "[e]?; },\n";
      else
        edges += "    I -> R" + c.name + " { select e : " + c.type + "; sync req" + c.name +
                 "[e]?; assign " + pend + " = e; },\n";
      if (c.scalar)
        edges += "    R" + c.name + " -> I { select e : " + c.type + "; sync ack" + c.name +
                 "[e]!; },\n";
      else
        edges += "    R" + c.name + " -> I { guard " + pend + " != " + c.None() + "; sync ack" +
                 c.name + "[" + pend + "]!; assign st" + c.name + "[" + pend + "].n = 0, " + pend +
                 " = " + c.None() + "; },\n";
      if (Chance(0.5))
        edges += "    R" + c.name + " -> I { },\n";
    }
    return "process Ctl() {\n  clock y;\n  state " + states + ";\n  init I;\n  trans\n" + edges +
           "    I -> J { sync go?; assign y = 0, g = (g + 1) % 4; },\n"
           "    J -> I { guard " +
           check +
           "; },\n"
           "    J -> I { guard y >= 2 && t >= 1; sync tick!; assign t = 0; "
           "};\n}\n";
  }

  std::string Query() {
    const Template& t = Any(templates_);
    const int32_t a = Pick(0, t.members - 1);
    int32_t b = Pick(0, t.members - 2);
    b += b >= a ? 1 : 0;
    const std::string pa = t.Member(a);
    const std::string pb = t.Member(b);
    if (t.channels && Chance(0.15))
      return "E<> Ctl.R" + t.name + " && " + pa + "." + Location() + " && " + pb + "." + Location();
    switch (Pick(0, 8)) {
      case 0:
        return "E<> " + pa + "." + Location() + " && " + pb + "." + Location();
      case 1:
        return "E<> " + pa + "." + Location() + " && " +
               (Chance(0.5) ? "g == " + Num(Pick(0, 3)) : "t > " + Num(Pick(2, 6)));
      case 2:
        return "A[] !(" + pa + "." + Location() + " && " + pb + "." + Location() + ")";
      case 3:
        return "E<> " + pa + ".x > " + Num(Pick(1, 4)) + " && " + pb + "." + Location();
      case 4:
        return t.scalar ? "E<> " + pa + ".me == " + pb + ".me"
                        : "E<> owner" + t.name + " == " + t.Id(a) + " && " + pb + "." + Location();
      case 5:
        return "E<> " + pa + ".c > " + pb + ".c && " + pa + "." + Location();
      case 6:
        return "E<> (" + pa + "." + Location() + " || " + pb + "." + Location() + ") && " + pa +
               ".c == " + Num(Pick(0, 2));
      case 7: {
        if (t.members < 3)
          return "A[] " + pa + ".c <= 1 || !" + pb + "." + Location();
        int32_t c = 0;
        while (c == a || c == b)
          ++c;
        return "E<> " + pa + "." + Location() + " && " + pb + "." + Location() + " && " +
               t.Member(c) + "." + Location();
      }
      default:
        return t.scalar
                   ? "E<> " + pa + ".c == 2 && " + pb + ".me == " + pb + ".me"
                   : (Chance(0.5) ? "A[] owner" + t.name + " != " + t.Id(a) + " || " + pa + ".c < 2"
                                  : "E<> owner" + t.name + " != " + t.None() + " && flag" + t.name +
                                        "[owner" + t.name + "] && " + pa + "." + Location());
    }
  }

  std::mt19937_64 random_;
  std::vector<Template> templates_;
  std::set<std::string> receives_;  // the locations with a broadcast receive, per template
  bool breakByChannel_ = false;
};

}  // namespace

RandomSymmetricModel MakeRandomSymmetricModel(uint64_t seed) {
  return Generator(seed).Make();
}

}  // namespace tickcheck::testing
