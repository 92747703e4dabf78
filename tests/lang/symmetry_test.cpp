// The symmetry reduction on models of the modelling language: random models whose processes of a
// template are interchangeable, decided by the language explorer (every state) and by the
// checker without symmetry and with it in each mode, which must all agree; and the detection, which
// must leave out a set that some use of an identity breaks, one model per rule.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/language_run.h"
#include "lang/compiler.h"
#include "support/environment.h"
#include "support/language_explorer.h"
#include "support/model_files.h"
#include "support/random_symmetric_models.h"
#include "support/temp_dir.h"

namespace tickcheck {
namespace {

using testing::TempDir;

constexpr size_t kStateLimit = 20000;
constexpr int64_t kShards = 2;

struct CheckRun {
  std::vector<bool> verdicts;
  std::string err;
  int64_t states = 0;
  ExitCode exitCode = ExitCode::kFailure;
};

struct Mode {
  const char* name;
  bool noClockIntervals;
  bool checkTimeSuccessors;
};
constexpr std::array<Mode, 3> kModes = {
    {{"default", false, false}, {"-n", true, false}, {"-t", false, true}}};

CheckRun RunModel(const std::string& model, const std::string& queries, bool symmetry,
                  const Mode& mode = kModes[0]) {
  TempDir dir;
  testing::WriteFile(dir.File("m.tck"), model);
  testing::WriteFile(dir.File("m.q"), queries);
  CheckRun run;
  ::testing::internal::CaptureStderr();
  const std::string out = testing::CaptureConsole([&] {
    run.exitCode = RunLanguageModel({.modelPath = dir.File("m.tck"),
                                     .noClockIntervals = mode.noClockIntervals,
                                     .checkTimeSuccessors = mode.checkTimeSuccessors,
                                     .noSymmetry = !symmetry});
  });
  run.err = ::testing::internal::GetCapturedStderr();
  std::istringstream lines(out + run.err);
  std::string line;
  while (std::getline(lines, line)) {
    const bool satisfied = line.ends_with("  -- satisfied");
    if (satisfied || line.ends_with("  -- not satisfied"))
      run.verdicts.push_back(satisfied);
    if (line.starts_with("summary: "))
      run.states = std::strtoll(line.c_str() + 9, nullptr, 10);
  }
  return run;
}

bool Interchangeable(const std::string& err) {
  return err.find(" are interchangeable") != std::string::npos &&
         err.find("symmetry: no processes") == std::string::npos;
}

class SymmetryDifferentialTest : public ::testing::TestWithParam<int64_t> {};

TEST_P(SymmetryDifferentialTest, VerdictsWithAndWithoutSymmetryAreTheExplorers) {
  const int64_t count = testing::EnvironmentNumber("TICKCHECK_RANDOM_MODELS", 80);
  const int64_t first = testing::EnvironmentNumber("TICKCHECK_RANDOM_SEED", 0);
  int64_t models = 0;
  int64_t reduced = 0;
  int64_t leftOut = 0;
  int64_t states = 0;
  int64_t reducedStates = 0;
  for (int64_t k = GetParam(); k < count; k += kShards) {
    const auto seed = static_cast<uint64_t>(first + k);
    const testing::RandomSymmetricModel random = testing::MakeRandomSymmetricModel(seed);
    const std::string shown =
        "seed " + std::to_string(seed) + "\n" + random.model + "\n" + random.queries;
    std::vector<lang::Diagnostic> errors;
    const std::optional<lang::Compilation> compiled =
        lang::Compile({"m.tck", random.model}, lang::SourceFile{"m.q", random.queries}, errors);
    ASSERT_TRUE(compiled) << (errors.empty() ? "" : errors[0].Format()) << "\n" << shown;
    const testing::LanguageVerdicts truth =
        testing::ExploreLanguage(compiled->network, compiled->queries, kStateLimit);
    if (!truth.complete)
      continue;
    ++models;
    const CheckRun without = RunModel(random.model, random.queries, false);
    EXPECT_EQ(without.verdicts, truth.satisfied) << "no symmetry\n" << shown;
    for (const Mode& mode : std::vector<Mode>(kModes.begin() + 1, kModes.end())) {
      const CheckRun run = RunModel(random.model, random.queries, true, mode);
      EXPECT_EQ(run.verdicts, truth.satisfied) << "symmetry " << mode.name << "\n" << shown;
    }
    const CheckRun with = RunModel(random.model, random.queries, true);
    ASSERT_EQ(with.exitCode, ExitCode::kComplete) << with.err << shown;
    EXPECT_EQ(with.verdicts, truth.satisfied) << "symmetry\n" << with.err << shown;
    EXPECT_EQ(without.err.find("symmetry:"), std::string::npos) << without.err;
    if (random.breaksSymmetry) {
      EXPECT_NE(with.err.find("symmetry: processes of P are not interchangeable"),
                std::string::npos)
          << with.err << shown;
    }
    if (Interchangeable(with.err)) {
      ++reduced;
      states += without.states;
      reducedStates += with.states;
      EXPECT_LE(with.states, without.states) << shown;
    }
    leftOut += with.err.find("are not interchangeable") != std::string::npos ? 1 : 0;
  }
  std::cout << "shard " << GetParam() << ": " << models << " models, " << reduced
            << " reduced (stored states " << states << " -> " << reducedStates << "), " << leftOut
            << " with a set left out\n";
}

INSTANTIATE_TEST_SUITE_P(Shards, SymmetryDifferentialTest, ::testing::Range<int64_t>(0, kShards));

// A model of N processes of P over `parameter` with the given global declarations, the
// template's guard and update on its one edge, and a controller's guard; `sync` and
// `controllerSync` (with what follows it) add a synchronisation to the edges.
std::string Model(const std::string& parameter, const std::string& globals,
                  const std::string& guard, const std::string& update,
                  const std::string& controller = "true", const std::string& sync = "",
                  const std::string& controllerSync = "") {
  return "const int N = 3;\n" + parameter + "\n" + globals +
         "\nprocess P(const id_t i) {\n  clock x;\n  state idle, busy { x <= 2 };\n"
         "  init idle;\n  trans\n    idle -> busy { guard " +
         guard + ";" + sync + " assign x = 0, " + update +
         "; },\n    busy -> idle { guard x >= 1; };\n}\n"
         "process Ctl() {\n  state s;\n  init s;\n  trans s -> s { guard " +
         controller + ";" + controllerSync + " };\n}\nsystem P, Ctl;\n";
}

const char* const kRange = "typedef int[1,N] id_t;";
const char* const kScalar = "typedef scalar[N] id_t;";
const char* const kFromZero = "typedef int[0,N-1] id_t;";

TEST(SymmetryDetectionTest, IdentitiesUsedOnlyAsIdentitiesMakeTheProcessesInterchangeable) {
  struct Case {
    const char* what;
    std::string model;
    std::string lines = "symmetry: 3 processes of P are interchangeable\n";
    std::string queries = "E<> P(1).busy && P(2).busy\n";
  };
  std::string twoParameters = Model(kRange, "int[0,N] id = 0;", "id == 0 && k == 2", "id = i");
  twoParameters.replace(twoParameters.find("P(const id_t i)"), 15,
                        "P(const id_t i, const int[2,2] k)");
  const std::vector<Case> cases = {
      {"integer identity compared and copied", Model(kRange, "int[0,N] id = 0;\nint[0,N] seen = 0;",
                                                     "id == 0 || id == i", "id = i, seen = id")},
      {"scalar identity in a variable and an indexed array",
       Model(kScalar, "bool taken[id_t];", "!taken[i]", "taken[i] = true")},
      {"integer identity selecting channels and remembered",
       Model(kRange, "chan c[id_t], d[id_t];\nint[0,N] last = 0;", "true", "last = 0",
             "last == 0 || last != 0", " sync c[i]!;",
             " select e : id_t; sync c[e]?; assign last = e; }, s -> s { guard last != 0; "
             "sync d[last]!; assign last = 0;")},
      {"integer identities from 0, a literal 0 that is no identity, an array of the type",
       Model(kFromZero, "int[-1,N-1] id = -1;\nbool taken[id_t];\nint[0,1] free = 0;",
             "!taken[i] && free == 0 && (id == -1 || id == i)",
             "taken[i] = true, id = i, free = 0")},
      {"scalar identity selecting channels",
       Model(kScalar, "chan c[id_t];\nbool taken[id_t];", "true", "taken[i] = true", "true",
             " sync c[i]!;", " select e : id_t; sync c[e]?;")},
      {"records and rows indexed by an identity, read through a variable",
       Model(kRange,
             "typedef struct { int[0,3] n; bool on; } st_t;\nst_t st[id_t];\nint row[id_t][2];\n"
             "int[0,N] cur = 0;",
             "cur == 0", "st[i].on = true, row[i][1] = 1, cur = i", "cur != 0 && st[cur].on", "",
             " assign st[cur].n = (st[cur].n + 1) % 4, row[cur][0] = row[cur][1], cur = 0;")},
      {"a second parameter equal in every instance", twoParameters,
       "symmetry: 3 processes of P are interchangeable\n", "E<> P(1, 2).busy && P(2, 2).busy\n"},
      {"an identity variable that starts at a member's identity keeps it in place",
       Model(kRange, "int[0,N] id = 1;", "id == i", "id = i"),
       "symmetry: P(1) stays in place: id starts at its identity\n"
       "symmetry: 2 processes of P are interchangeable\n"},
      {"a global scalar variable starts at the first value",
       Model(kScalar, "id_t last;\nbool taken[id_t];", "!taken[i] && last != i",
             "taken[i] = true, last = i"),
       "symmetry: P(0) stays in place: last starts at its identity\n"
       "symmetry: 2 processes of P are interchangeable\n"},
  };
  for (const Case& c : cases) {
    const CheckRun run = RunModel(c.model, c.queries, true);
    EXPECT_NE(run.err.find(c.lines), std::string::npos) << c.what << "\n" << run.err;
  }
}

TEST(SymmetryDetectionTest, UsesThatBreakTheSymmetryLeaveTheSetOut) {
  struct Case {
    const char* what;
    std::string model;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"another process compares an identity with a constant identity",
       Model(kRange, "int[0,N] id = 0;", "id == 0", "id = i", "id == 1"),
       "is not matched when P(1) and P(2) are exchanged"},
      {"an identity in arithmetic",
       Model(kRange, "int[0,N] id = 0;\nint[0,9] v = 0;", "id == 0", "id = i, v = i + 1"),
       "is not matched when P(1) and P(2) are exchanged"},
      {"an identity variable in arithmetic",
       Model(kRange, "int[0,N] id = 0;\nint[0,9] v = 0;", "id == 0", "id = i, v = id + 1"),
       "id is not used only as an identity"},
      {"an identity variable compared with <",
       Model(kRange, "int[0,N] id = 0;", "id < 2", "id = i"), "id is not used only as an identity"},
      {"an identity variable whose range misses an identity",
       Model(kRange, "int[0,2] id = 0;", "id == 0", "id = i"),
       "is not matched when P(1) and P(2) are exchanged"},
      {"another process receives on a member's channel by a constant index",
       Model(kRange, "chan c[id_t];", "true", "x = 0", "true", " sync c[i]!;", " sync c[2]?;"),
       "are exchanged"},
      {"another process reads a field of a member's element by a constant index",
       Model(kRange, "typedef struct { int[0,3] n; bool on; } st_t;\nst_t st[id_t];", "true",
             "st[i].on = true", "st[2].on"),
       "are exchanged"},
      {"integer identities from 0 index an array sized by a constant",
       Model(kFromZero, "bool taken[N];", "!taken[i]", "taken[i] = true"), "are exchanged"},
      {"a scalar identity compared with a constant one",
       Model(kScalar, "bool taken[id_t];", "!taken[i] && i != 1", "taken[i] = true"),
       "are exchanged"},
  };
  for (const Case& c : cases) {
    const CheckRun run = RunModel(c.model, "E<> P(1).busy && P(2).busy\n", true);
    EXPECT_NE(run.err.find("symmetry: processes of P are not interchangeable"), std::string::npos)
        << c.what << "\n"
        << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.what << "\n" << run.err;
    EXPECT_FALSE(Interchangeable(run.err)) << c.what << "\n" << run.err;
  }
}

}  // namespace
}  // namespace tickcheck
