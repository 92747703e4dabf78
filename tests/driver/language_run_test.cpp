// Runs of models in the modelling language through the real binary: the examples' verdicts, the
// command line (query files, the emitted model file, errors, values outside their ranges), and
// Fischer's protocol compiled from the language against the model files of tickcheck-fischer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "lang/compiler.h"
#include "support/language_explorer.h"
#include "support/model_files.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "tools/example_models.h"

namespace tickcheck {
namespace {

using testing::ReadFile;
using testing::RunTickcheckBinary;
using testing::TempDir;
using testing::WriteFile;

// The lines of `out` that start with one of `prefixes`.
std::string Lines(const std::string& out, const std::vector<std::string>& prefixes) {
  std::istringstream in(out);
  std::string line, kept;
  while (std::getline(in, line)) {
    for (const std::string& prefix : prefixes) {
      if (line.starts_with(prefix))
        kept += line + "\n";
    }
  }
  return kept;
}

// The expected output of each example is in tests/data/golden/<example>.tck.expected (rewritten
// with TICKCHECK_UPDATE_GOLDEN=1); it must be the verdicts of the language's semantics, and every
// mode of the checker must print it.
TEST(LanguageRunTest, ExamplesGiveTheirDocumentedVerdictsInEveryMode) {
  for (const char* example :
       {"fischer", "fischer-incorrect", "train-gate", "bridge", "csma-cd", "pulse", "train-bridge",
        "printers", "gate-queue", "token-ring", "csma-backoff", "train-gate-urgent"}) {
    const std::string stem = std::string(EXAMPLES_DIR) + "/" + example;
    const std::string golden = std::string(TEST_DATA_DIR) + "/golden/" + example + ".tck.expected";
    const testing::ProcessResult run = RunTickcheckBinary({stem + ".tck"});
    EXPECT_EQ(run.exitCode, 0) << example << run.err;
    if (std::getenv("TICKCHECK_UPDATE_GOLDEN") != nullptr)
      WriteFile(golden, run.out);
    EXPECT_EQ(run.out, ReadFile(golden)) << example;
    for (const char* mode : {"-n", "-t"})
      EXPECT_EQ(RunTickcheckBinary({stem + ".tck", mode}).out, run.out) << example << mode;

    std::vector<lang::Diagnostic> errors;
    const std::optional<lang::Compilation> compiled =
        lang::Compile({stem + ".tck", ReadFile(stem + ".tck")},
                      lang::SourceFile{stem + ".q", ReadFile(stem + ".q")}, errors);
    ASSERT_TRUE(compiled) << example;
    const testing::LanguageVerdicts truth =
        testing::ExploreLanguage(compiled->network, compiled->queries, 1000000);
    ASSERT_TRUE(truth.complete);
    std::string expected;
    for (size_t q = 0; q < compiled->queries.size(); ++q) {
      expected += compiled->queries[q].text + "  -- " +
                  (truth.satisfied[q] ? "satisfied" : "not satisfied") + "\n";
    }
    EXPECT_EQ(run.out, expected) << example;
  }
}

struct CommandRow {
  std::string name;
  std::string model;                   // written as m.tck
  std::string queries;                 // written as m.q unless empty
  std::vector<std::string> arguments;  // after the model path; "DIR/" stands for the directory
  int exitCode;
  std::string out;
  std::string err;  // "DIR/" stands for the directory
};

void PrintTo(const CommandRow& row, std::ostream* out) {
  *out << row.name;
}

constexpr const char* kCounter = R"(int[0,3] n;
process P() {
  state a;
  init a;
  trans a -> a { guard n < 3; assign n = n + 1; };
}
system P;
)";

// Counts past the range of n.
constexpr const char* kOverflow = R"(int[0,3] n;
process P() { state a; init a; trans a -> a { assign n = n + 1; }; }
system P;
)";

std::string Replaced(std::string text, const std::string& directory) {
  for (size_t at = text.find("DIR/"); at != std::string::npos; at = text.find("DIR/", at))
    text.replace(at, 4, directory + "/");
  return text;
}

class LanguageCommandTest : public ::testing::TestWithParam<CommandRow> {};

TEST_P(LanguageCommandTest, PrintsItsLinesAndExitCode) {
  const CommandRow& row = GetParam();
  TempDir dir;
  const std::string directory = dir.Path().string();
  WriteFile(dir.File("m.tck"), row.model);
  if (!row.queries.empty())
    WriteFile(dir.File("m.q"), row.queries);
  WriteFile(dir.File("other.q"), "E<> P.a\n");
  std::vector<std::string> arguments{dir.File("m.tck")};
  for (const std::string& argument : row.arguments)
    arguments.push_back(Replaced(argument, directory));
  const testing::ProcessResult run = RunTickcheckBinary(arguments);
  EXPECT_EQ(run.exitCode, row.exitCode);
  EXPECT_EQ(run.out, row.out);
  // The closing summary line, with its times, is the checker's.
  EXPECT_EQ(testing::WithoutSummaryLine(run.err), Replaced(row.err, directory));
  // The compiled model and the checker's reports are not left behind.
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "m.tck" || name == "m.q" || name == "other.q" || name == "emitted.txt")
        << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, LanguageCommandTest,
    ::testing::Values(
        CommandRow{"QueriesNextToTheModel",
                   kCounter,
                   "E<> n == 3\nA[] n <= 2\n",
                   {},
                   0,
                   "E<> n == 3  -- satisfied\nA[] n <= 2  -- not satisfied\n",
                   ""},
        CommandRow{"QueriesFromAnotherFile",
                   kCounter,
                   "",
                   {"-q", "DIR/other.q", "-n"},
                   0,
                   "E<> P.a  -- satisfied\n",
                   ""},
        CommandRow{"NoQueryFile",
                   kCounter,
                   "",
                   {},
                   1,
                   "",
                   "tickcheck: DIR/m.q: cannot read the queries: No such file or directory (name "
                   "another file with -q FILE)\n"},
        CommandRow{"MissingQueryFile",
                   kCounter,
                   "",
                   {"-q", "DIR/none.q"},
                   1,
                   "",
                   "tickcheck: DIR/none.q: cannot read the queries: No such file or directory\n"},
        CommandRow{"MissingModel",
                   "",
                   "",
                   {"-q", "DIR/other.q"},
                   1,
                   "",
                   "DIR/m.tck:1:1: the model has no system line (for example: system P;)\n"},
        CommandRow{"ErrorsInModelAndQueries",
                   "int[0,1] n = 2;\nsystem P;\n",
                   "E<> m\n",
                   {},
                   1,
                   "",
                   "DIR/m.tck:1:14: the initial value 2 of n is outside its range 0 .. 1\n"
                   "DIR/m.tck:2:8: unknown name P\n"},
        CommandRow{"EmitOnly", kCounter, "", {"--emit-model", "DIR/emitted.txt"}, 0, "", ""},
        CommandRow{"ValueOutsideItsRange",
                   kOverflow,
                   "A[] n <= 3\n",
                   {"-t"},
                   3,
                   "A[] n <= 3  -- satisfied\n",
                   "ERROR! Variable n: value 4 outside its range 0 .. 3 after P: a -> a; states "
                   "with such values are skipped\n"
                   "tickcheck: the model had errors (variables with values outside their ranges "
                   "or bits: 1); the verdicts may not hold\n"}),
    [](const ::testing::TestParamInfo<CommandRow>& info) { return info.param.name; });

TEST(LanguageRunTest, LivenessQueriesPrintTheirVerdictsAndLassos) {
  // Nothing forces the counter to count: time may pass forever in every state.
  TempDir dir;
  WriteFile(dir.File("m.tck"), kCounter);
  WriteFile(dir.File("m.q"), "A<> n == 3\nn == 1\n  --> n == 3\nE[] n < 3\n");
  const testing::ProcessResult run = RunTickcheckBinary({dir.File("m.tck"), "--trace"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "A<> n == 3  -- not satisfied\n"
            "Trace for A<> n == 3 (not satisfied), 0 steps, then a cycle of 1 step back to state "
            "0:\n"
            "  state 0: P.a  n=0\n"
            "  cycle 1: delay 1  (waiting)  ->  P.a  n=0\n"
            "n == 1 --> n == 3  -- not satisfied\n"
            "Trace for n == 1 --> n == 3 (not satisfied), 1 step, then a cycle of 1 step back to "
            "the state after step 1:\n"
            "  state 0: P.a  n=0\n"
            "  step 1:  delay 0  P: a -> a  ->  P.a  n=1\n"
            "  cycle 1: delay 1  (waiting)  ->  P.a  n=1\n"
            "E[] n < 3  -- satisfied\n"
            "Trace for E[] n < 3 (satisfied), 0 steps, then a cycle of 1 step back to state 0:\n"
            "  state 0: P.a  n=0\n"
            "  cycle 1: delay 1  (waiting)  ->  P.a  n=0\n");
}

// An arbiter tree of 32 processes, far more composed locations than a 64-bit product of the
// location counts numbers: 16 clients at the leaves (client i at node 15 + i), 15 arbiters
// (node j's children 2j and 2j + 1) and the top above the root. A request climbs to the top,
// the grant comes down, the release goes up. It loads and decides what it reaches in a few steps.
// The clients are left out of the symmetry: each hangs under its own arbiter, so two clients are
// interchangeable only together with the arbiters above them.
TEST(LanguageRunTest, AnArbiterTreeOf32ProcessesLoadsAndDecides) {
  TempDir dir;
  WriteFile(dir.File("tree.tck"),
            "const int C = 16;\n"
            "chan req[2 * C], grant[2 * C], rel[2 * C];\n"
            "process Top() {\n"
            "  state idle, busy, given;\n  init idle;\n  trans\n"
            "    idle -> busy { sync req[1]?; },\n"
            "    busy -> given { sync grant[1]!; },\n"
            "    given -> idle { sync rel[1]?; };\n}\n"
            "process Arbiter(const int[1, C - 1] j) {\n"
            "  state idle, askL, askR, waitL, waitR, passL, passR, heldL, heldR, relL, relR;\n"
            "  init idle;\n  trans\n"
            "    idle -> askL { sync req[2 * j]?; },\n"
            "    idle -> askR { sync req[2 * j + 1]?; },\n"
            "    askL -> waitL { sync req[j]!; },\n"
            "    askR -> waitR { sync req[j]!; },\n"
            "    waitL -> passL { sync grant[j]?; },\n"
            "    waitR -> passR { sync grant[j]?; },\n"
            "    passL -> heldL { sync grant[2 * j]!; },\n"
            "    passR -> heldR { sync grant[2 * j + 1]!; },\n"
            "    heldL -> relL { sync rel[2 * j]?; },\n"
            "    heldR -> relR { sync rel[2 * j + 1]?; },\n"
            "    relL -> idle { sync rel[j]!; },\n"
            "    relR -> idle { sync rel[j]!; };\n}\n"
            "process Client(const int[1, C] i) {\n"
            "  clock x;\n  state idle, want, cs { x <= 2 };\n  init idle;\n  trans\n"
            "    idle -> want { sync req[C - 1 + i]!; },\n"
            "    want -> cs { sync grant[C - 1 + i]?; assign x = 0; },\n"
            "    cs -> idle { guard x >= 1; sync rel[C - 1 + i]!; };\n}\n"
            "system Top, Arbiter, Client;\n");
  WriteFile(dir.File("tree.q"), "E<> Client(1).want && Client(16).want\nE<> Arbiter(8).askL\n");
  const testing::ProcessResult run = RunTickcheckBinary({dir.File("tree.tck")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "E<> Client(1).want && Client(16).want  -- satisfied\n"
            "E<> Arbiter(8).askL  -- satisfied\n");
  EXPECT_NE(run.err.find("symmetry: processes of Client are not interchangeable"),
            std::string::npos)
      << run.err;
}

TEST(LanguageRunTest, UnreadableModelFileAndLanguageOptionsOnAModelFile) {
  TempDir dir;
  testing::ProcessResult run = RunTickcheckBinary({dir.File("none.tck")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "tickcheck: " + dir.File("none.tck") + ": No such file or directory\n");
  std::filesystem::create_directory(dir.File("folder.tck"));
  run = RunTickcheckBinary({dir.File("folder.tck")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "tickcheck: " + dir.File("folder.tck") + ": is a directory\n");
  run = RunTickcheckBinary({testing::WriteModel(dir, FischerModel(2, 1, 1)), "-q", "m.q"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(
      run.err.rfind("tickcheck: -q and --emit-model apply to .tck, .xta and .xml models only\n", 0),
      0u)
      << run.err;
}

// An XTA file with the .q beside it: its own forms (`:=`, `and`, an edge continued with `->`,
// named instances) read like the language; the document names its input "xta".
TEST(LanguageRunTest, XtaFilesWithTheQueriesBesideThem) {
  const std::string model = TEST_DATA_DIR "/xta/fischer.xta";
  const testing::ProcessResult run = RunTickcheckBinary({model});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "E<> P1.cs and P2.cs  -- not satisfied\nA[] not (P1.cs and P3.cs)  -- satisfied\n"
            "E<> P1.cs  -- satisfied\n");
  const testing::ProcessResult json = RunTickcheckBinary({model, "--json", "-"});
  EXPECT_NE(json.out.find("\"input\": \"xta\""), std::string::npos) << json.out;
  TempDir dir;
  const testing::ProcessResult missing = RunTickcheckBinary({dir.File("none.xta")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "tickcheck: " + dir.File("none.xta") + ": No such file or directory\n");
}

// XTA's `commit` and `urgent` in a process body and its urgent channels mean what the language's
// do: P leaves the committed a (telling Q on the urgent u) before Q's own edge could set n; the
// emitted model file means the same. Q, without parameters, is written without a parameter list.
TEST(LanguageRunTest, XtaCommittedAndUrgentLocationsAndChannels) {
  TempDir dir;
  WriteFile(dir.File("m.xta"),
            "int[0,3] n; clock x; urgent chan u;\n"
            "process P() { state a, b, c; commit a; urgent b; init a;\n"
            "  trans a -> b { sync u!; assign n := 1; }, b -> c { }; }\n"
            "process Q { state q, r; init q;\n"
            "  trans q -> q { guard n == 0; assign n := 2; }, q -> r { sync u?; }; }\n"
            "system P, Q;\n");
  WriteFile(dir.File("m.q"),
            "E<> n == 2\nA[] P.b imply x == 0 and Q.r\nE<> P.c and x > 0\nE<> deadlock\n");
  const testing::ProcessResult run = RunTickcheckBinary({dir.File("m.xta")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "E<> n == 2  -- not satisfied\nA[] P.b imply x == 0 and Q.r  -- satisfied\n"
            "E<> P.c and x > 0  -- satisfied\nE<> deadlock  -- satisfied\n");
  // The emitted model file carries the rules in its keys: checked alone, it says the same.
  ASSERT_EQ(RunTickcheckBinary({dir.File("m.xta"), "--emit-model", dir.File("m.txt")}).exitCode, 0);
  EXPECT_EQ(Lines(RunTickcheckBinary({dir.File("m.txt")}).out, {"property"}),
            "property1 : 0\nproperty2 : 1\nproperty3 : 1\nproperty4 : 1\n");
}

// The emitted model file is an ordinary model file: checked on its own it gives the same
// verdicts, and for Fischer's protocol (without symmetry) the same stored states as the file of
// tickcheck-fischer.
TEST(LanguageRunTest, CompiledFischerMatchesTheModelFilesOfTickcheckFischer) {
  const std::vector<std::string> kept = {"DsState Number in pastList:", "property"};
  for (const auto& [processes, set, wait] :
       {std::tuple{2, 1, 1}, {2, 2, 1}, {3, 2, 2}, {3, 2, 1}, {3, 1, 3}, {4, 1, 1}}) {
    TempDir dir;
    testing::WriteModel(dir, FischerModel(processes, set, wait), "tool.txt");
    const LanguageModel language = FischerLanguage(processes, set, wait);
    WriteFile(dir.File("fischer.tck"), language.model);
    WriteFile(dir.File("fischer.q"), language.queries);
    for (const std::vector<std::string>& mode : {std::vector<std::string>{}, {"-n"}}) {
      std::vector<std::string> arguments{dir.File("fischer.tck"), "--emit-model",
                                         dir.File("compiled.txt")};
      arguments.insert(arguments.end(), mode.begin(), mode.end());
      const testing::ProcessResult compiled = RunTickcheckBinary(arguments);
      arguments = {dir.File("compiled.txt"), "--no-symmetry"};
      arguments.insert(arguments.end(), mode.begin(), mode.end());
      const std::string fromLanguage = Lines(RunTickcheckBinary(arguments).out, kept);
      arguments[0] = dir.File("tool.txt");
      const std::string fromTool = Lines(RunTickcheckBinary(arguments).out, kept);
      const std::string shown = std::to_string(processes) + " processes, delays " +
                                std::to_string(set) + " " + std::to_string(wait) +
                                (mode.empty() ? "" : " -n");
      EXPECT_EQ(fromLanguage, fromTool) << shown;
      const bool exclusive = set <= wait;
      EXPECT_EQ(compiled.out, std::string("E<> P(1).cs && P(2).cs  -- ") +
                                  (exclusive ? "not satisfied" : "satisfied") +
                                  "\nE<> P(1).cs  -- satisfied\nA[] id <= N  -- satisfied\n")
          << shown;
      EXPECT_EQ(Lines(fromTool, {"property1"}), exclusive ? "property1 : 0\n" : "property1 : 1\n");
    }
  }
}

}  // namespace
}  // namespace tickcheck
