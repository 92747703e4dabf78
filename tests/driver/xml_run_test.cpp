// Runs of XML model documents through the real binary: the examples' verdicts, which must be
// those of the same models in the modelling language; the command line (embedded queries, -q,
// --emit-model, documents without queries or that cannot be read); and errors at their places in
// the document.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/language_explorer.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "xml/compiler.h"

namespace tickcheck {
namespace {

using testing::ReadFile;
using testing::RunTickcheckBinary;
using testing::TempDir;
using testing::WriteFile;

// The verdict words of each line of `out` ("satisfied", "not satisfied", "unknown").
std::vector<std::string> Verdicts(const std::string& out) {
  std::istringstream in(out);
  std::vector<std::string> verdicts;
  for (std::string line; std::getline(in, line);) {
    const size_t at = line.rfind("  -- ");
    if (at != std::string::npos && !line.starts_with(" "))
      verdicts.push_back(line.substr(at + 5));
  }
  return verdicts;
}

// The verdict words that the language's explorer gives the queries of the XML document `path`.
std::vector<std::string> ExploredVerdicts(const std::string& path) {
  std::vector<lang::Diagnostic> errors;
  const std::optional<lang::Compilation> compiled =
      xml::CompileDocument({path, ReadFile(path)}, std::nullopt, errors);
  if (!compiled)
    return {"does not compile"};
  const testing::LanguageVerdicts truth =
      testing::ExploreLanguage(compiled->network, compiled->queries, 1000000);
  if (!truth.complete)
    return {"not explored to the end"};
  std::vector<std::string> verdicts;
  for (const bool satisfied : truth.satisfied)
    verdicts.push_back(satisfied ? "satisfied" : "not satisfied");
  return verdicts;
}

struct Twin {
  const char* document;  // in examples/
  std::string model;     // the same model in the language
  std::string queries;   // its queries, those of the document
};

// The expected output of each example is in tests/data/golden/<example>.xml.expected (rewritten
// with TICKCHECK_UPDATE_GOLDEN=1): every mode prints it, its verdicts are those of the language's
// semantics, and the same model in the language gives the same verdicts.
TEST(XmlRunTest, ExamplesGiveTheirVerdictsAndThoseOfTheLanguage) {
  const std::vector<Twin> twins = {
      {"fischer", EXAMPLES_DIR "/fischer.tck", TEST_DATA_DIR "/xml/fischer.q"},
      {"train-gate-queue", TEST_DATA_DIR "/xml/train-gate-queue.tck",
       TEST_DATA_DIR "/xml/train-gate-queue.q"},
      {"csma-cd", EXAMPLES_DIR "/csma-cd.tck", EXAMPLES_DIR "/csma-cd.q"}};
  for (const Twin& twin : twins) {
    const std::string document = std::string(EXAMPLES_DIR) + "/" + twin.document + ".xml";
    const std::string golden =
        std::string(TEST_DATA_DIR) + "/golden/" + twin.document + ".xml.expected";
    const testing::ProcessResult run = RunTickcheckBinary({document});
    EXPECT_EQ(run.exitCode, 0) << twin.document << run.err;
    if (std::getenv("TICKCHECK_UPDATE_GOLDEN") != nullptr)
      WriteFile(golden, run.out);
    EXPECT_EQ(run.out, ReadFile(golden)) << twin.document;
    for (const char* mode : {"-n", "-t"})
      EXPECT_EQ(RunTickcheckBinary({document, mode}).out, run.out) << twin.document << mode;
    const testing::ProcessResult language = RunTickcheckBinary({twin.model, "-q", twin.queries});
    EXPECT_EQ(language.exitCode, 0) << twin.document << language.err;
    EXPECT_EQ(Verdicts(language.out), Verdicts(run.out)) << twin.document;
    EXPECT_EQ(ExploredVerdicts(document), Verdicts(run.out)) << twin.document;
    EXPECT_EQ(Verdicts(run.out).size(),
              static_cast<size_t>(std::count(run.out.begin(), run.out.end(), '\n')))
        << twin.document;
  }
}

// A small document: one process counting to 3, and the queries given.
std::string Counter(const std::string& queries) {
  return "<nta><declaration>int[0,3] n;</declaration>\n"
         "<template><name>P</name><location id=\"a\"/><init ref=\"a\"/>\n"
         "<transition><source ref=\"a\"/><target ref=\"a\"/>"
         "<label kind=\"guard\">n &lt; 3</label><label kind=\"assignment\">n++</label>"
         "</transition></template>\n<system>system P;</system>\n" +
         queries + "</nta>\n";
}

struct CommandRow {
  const char* name;
  std::string document;
  std::vector<std::string> arguments;  // after the document; DIR is the test's directory
  int exitCode;
  std::string out;
  std::string err;  // without the summary line; DIR as above
};

class XmlCommandTest : public ::testing::TestWithParam<CommandRow> {};

std::string Replaced(std::string text, const std::string& directory) {
  for (size_t at = text.find("DIR"); at != std::string::npos; at = text.find("DIR", at))
    text.replace(at, 3, directory);
  return text;
}

TEST_P(XmlCommandTest, PrintsItsLinesAndExitCode) {
  const CommandRow& row = GetParam();
  TempDir dir;
  const std::string directory = dir.Path().string();
  WriteFile(dir.File("m.xml"), row.document);
  WriteFile(dir.File("other.q"), "E<> n == 2\n");
  std::vector<std::string> arguments = {dir.File("m.xml")};
  for (const std::string& argument : row.arguments)
    arguments.push_back(Replaced(argument, directory));
  const testing::ProcessResult run = RunTickcheckBinary(arguments);
  EXPECT_EQ(run.exitCode, row.exitCode);
  EXPECT_EQ(run.out, row.out);
  EXPECT_EQ(testing::WithoutSummaryLine(run.err), Replaced(row.err, directory));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, XmlCommandTest,
    ::testing::Values(
        CommandRow{"EmbeddedQueries",
                   Counter("<queries><query><formula>E&lt;&gt; n == 3</formula></query>"
                           "<query><formula>A[] n &lt; 3</formula></query></queries>"),
                   {},
                   0,
                   "E<> n == 3  -- satisfied\nA[] n < 3  -- not satisfied\n",
                   ""},
        CommandRow{"QueriesOfAFileInstead",
                   Counter("<queries><query><formula>E&lt;&gt; n == 3</formula></query>"
                           "</queries>"),
                   {"-q", "DIR/other.q"},
                   0,
                   "E<> n == 2  -- satisfied\n",
                   ""},
        CommandRow{"NoQueries",
                   Counter(""),
                   {},
                   1,
                   "",
                   "tickcheck: DIR/m.xml: the document has no queries (name a query file with -q "
                   "FILE)\n"},
        CommandRow{"EmitOnly", Counter(""), {"--emit-model", "DIR/m.txt"}, 0, "", ""},
        CommandRow{"Malformed",
                   "<nta>\n<system>system P;</nta>\n",
                   {},
                   1,
                   "",
                   "DIR/m.xml:2:20: malformed XML: Start-end tags mismatch\n"},
        CommandRow{"ErrorsInLabelsAtTheirPlaces",
                   "<nta><declaration>int[0,3] n;</declaration>\n"
                   "<template><name>P</name><location id=\"a\"><label kind=\"invariant\">"
                   "n &lt;= m</label></location><init ref=\"a\"/>\n"
                   "<transition><source ref=\"a\"/><target ref=\"a\"/>"
                   "<label kind=\"guard\">n &amp;&amp; $</label></transition></template>\n"
                   "<system>system Q;</system><queries><query><formula>E&lt;&gt; n ==</formula>"
                   "</query></queries></nta>\n",
                   {},
                   1,
                   "",
                   "DIR/m.xml:3:80: unexpected character '$'\n"
                   "DIR/m.xml:4:66: expected an expression, found the end of the text\n"},
        CommandRow{"NamesAndReferences",
                   "<nta><template><name>1P</name><location id=\"a\"><name>x y</name></location>"
                   "<init ref=\"a\"/></template>\n<system>system P;</system></nta>\n",
                   {},
                   1,
                   "",
                   "DIR/m.xml:1:22: \"1P\" is not a template name\n"
                   "DIR/m.xml:1:54: \"x y\" is not a location name\n"},
        // P leaves the committed a before Q can take its edge, which n = 1 then disables; no
        // time passes in the urgent b; in c nothing can move any more.
        CommandRow{"CommittedAndUrgentLocations",
                   "<nta><declaration>int[0,3] n; clock x;</declaration>\n"
                   "<template><name>P</name><location id=\"a\"><committed/></location>"
                   "<location id=\"b\"><urgent/></location><location id=\"c\"/>"
                   "<init ref=\"a\"/>\n<transition><source ref=\"a\"/><target ref=\"b\"/>"
                   "<label kind=\"assignment\">n = 1</label></transition>"
                   "<transition><source ref=\"b\"/><target ref=\"c\"/></transition></template>\n"
                   "<template><name>Q</name><location id=\"q\"/><init ref=\"q\"/>"
                   "<transition><source ref=\"q\"/><target ref=\"q\"/>"
                   "<label kind=\"guard\">n == 0</label><label kind=\"assignment\">n = 2"
                   "</label></transition></template>\n<system>system P, Q;</system><queries>"
                   "<query><formula>E&lt;&gt; n == 2</formula></query>"
                   "<query><formula>A[] P.b imply x == 0</formula></query>"
                   "<query><formula>E&lt;&gt; P.c &amp;&amp; x &gt; 0</formula></query>"
                   "<query><formula>A[] !deadlock || P.c</formula></query></queries></nta>\n",
                   {},
                   0,
                   "E<> n == 2  -- not satisfied\nA[] P.b imply x == 0  -- satisfied\n"
                   "E<> P.c && x > 0  -- satisfied\nA[] !deadlock || P.c  -- satisfied\n",
                   ""},
        CommandRow{"RefusedInTheLanguage",
                   "<nta><declaration>chan priority c;</declaration><template><name>P</name>"
                   "<location id=\"a\"/><init ref=\"a\"/></template>\n"
                   "<system>system P &lt; P;</system></nta>\n",
                   {},
                   1,
                   "",
                   "DIR/m.xml:1:24: priorities are not supported\n"
                   "DIR/m.xml:2:18: priorities are not supported\n"}),
    [](const ::testing::TestParamInfo<CommandRow>& info) { return info.param.name; });

// Embedded liveness queries go through the language's query parser: nothing forces the counter
// to count.
TEST(XmlRunTest, EmbeddedLivenessQueriesAreDecided) {
  TempDir dir;
  WriteFile(dir.File("m.xml"), Counter("<queries><query><formula>A&lt;&gt; n == 3</formula></query>"
                                       "<query><formula>n == 1 --&gt; n == 3</formula></query>"
                                       "<query><formula>E[] n &lt; 3</formula></query></queries>"));
  const testing::ProcessResult run = RunTickcheckBinary({dir.File("m.xml")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "A<> n == 3  -- not satisfied\nn == 1 --> n == 3  -- not satisfied\n"
            "E[] n < 3  -- satisfied\n");
}

// A location without a name is named by its id in the queries and in the traces; the model file
// that --emit-model writes checks like the document.
TEST(XmlRunTest, UnnamedLocationsAndTheEmittedModelFile) {
  TempDir dir;
  WriteFile(dir.File("m.xml"),
            Counter("<queries><query><formula>E&lt;&gt; P.a &amp;&amp; n == 1</formula></query>"
                    "<query><formula>A[] n &lt; 2</formula></query></queries>"));
  const testing::ProcessResult run =
      RunTickcheckBinary({dir.File("m.xml"), "--trace", "--emit-model", dir.File("m.txt")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "E<> P.a && n == 1  -- satisfied\n"
            "Trace for E<> P.a && n == 1 (satisfied), 1 step:\n"
            "  state 0: P.a  n=0\n"
            "  step 1: delay 0  P: a -> a  ->  P.a  n=1\n"
            "A[] n < 2  -- not satisfied\n"
            "Trace for A[] n < 2 (not satisfied), 2 steps:\n"
            "  state 0: P.a  n=0\n"
            "  step 1: delay 0  P: a -> a  ->  P.a  n=1\n"
            "  step 2: delay 0  P: a -> a  ->  P.a  n=2\n");
  const testing::ProcessResult file = RunTickcheckBinary({dir.File("m.txt")});
  EXPECT_EQ(file.exitCode, 0) << file.err;
  EXPECT_NE(file.out.find("property1 : 1\nproperty2 : 0\n"), std::string::npos) << file.out;
}

TEST(XmlRunTest, ADocumentThatCannotBeRead) {
  TempDir dir;
  testing::ProcessResult run = RunTickcheckBinary({dir.File("none.xml")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "tickcheck: " + dir.File("none.xml") + ": No such file or directory\n");
  WriteFile(dir.File("m.xml"), Counter(""));
  run = RunTickcheckBinary({dir.File("m.xml"), "-q", dir.File("none.q")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "tickcheck: " + dir.File("none.q") +
                         ": cannot read the queries: No such file or directory\n");
}

}  // namespace
}  // namespace tickcheck
