// The compiler of XML documents on constructs that the check refuses and on faults that the
// language's checks find: each error is one line naming the construct, at the place of the
// offending text in the document (across entities, CDATA sections and lines of a label).
#include "xml/compiler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tickcheck::xml {
namespace {

struct Labels {
  std::string declaration = "int[0,1] n;";  // line 2, from column 14
  std::string invariant = "x &lt;= 1";      // line 4, from column 42
  std::string guard = "n == 0";             // line 5, from column 67
  std::string system = "system P;";         // line 6, from column 9
};

// A document of one template (clock x, locations a and b, an edge from a to b) with `labels`
// and one query.
std::string Document(const Labels& labels) {
  return "<nta>\n<declaration>" + labels.declaration +
         "</declaration>\n"
         "<template><name>P</name><declaration>clock x;</declaration>\n"
         "<location id=\"a\"><label kind=\"invariant\">" +
         labels.invariant +
         "</label></location><location id=\"b\"/><init ref=\"a\"/>\n"
         "<transition><source ref=\"a\"/><target ref=\"b\"/><label kind=\"guard\">" +
         labels.guard +
         "</label></transition></template>\n"
         "<system>" +
         labels.system +
         "</system>\n"
         "<queries><query><formula>E&lt;&gt; P.b</formula></query></queries></nta>\n";
}

std::vector<std::string> Errors(const std::string& document) {
  std::vector<lang::Diagnostic> errors;
  const std::optional<lang::Compilation> compiled =
      CompileDocument({"m.xml", document}, std::nullopt, errors);
  std::vector<std::string> shown;
  for (const lang::Diagnostic& error : errors)
    shown.push_back(error.Format());
  EXPECT_EQ(compiled.has_value(), shown.empty());
  return shown;
}

TEST(XmlCompilerTest, TheDocumentOfTheTableCompiles) {
  EXPECT_EQ(Errors(Document({})), std::vector<std::string>{});
}

struct RefusalRow {
  const char* name;
  Labels labels;
  std::string error;
};

class XmlRefusalTest : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(XmlRefusalTest, NamesTheConstructAtItsPlace) {
  EXPECT_EQ(Errors(Document(GetParam().labels)), std::vector<std::string>{GetParam().error});
}

INSTANTIATE_TEST_SUITE_P(
    Labels, XmlRefusalTest,
    ::testing::Values(
        RefusalRow{"Double",
                   {.declaration = "int[0,1] n; double d;"},
                   "m.xml:2:26: double is not supported"},
        RefusalRow{"String", {.declaration = "string s;"}, "m.xml:2:14: strings are not supported"},
        RefusalRow{"HybridClock",
                   {.declaration = "hybrid clock h;"},
                   "m.xml:2:14: hybrid clocks are not supported"},
        RefusalRow{"Spawn",
                   {.declaration = "void f() { spawn P(); }"},
                   "m.xml:2:25: dynamic templates (spawn) are not supported"},
        RefusalRow{"Rate",
                   {.invariant = "x' == 0"},
                   "m.xml:4:43: rates and stopwatches (x') are not supported"},
        RefusalRow{"DynamicTemplate",
                   {.system = "dynamic Q(); system P;"},
                   "m.xml:6:9: dynamic templates are not supported"},
        RefusalRow{"ProgressSection",
                   {.system = "system P; progress { n; }"},
                   "m.xml:6:19: progress sections are not supported"},
        RefusalRow{"GanttSection",
                   {.system = "system P; gantt { P: true -> 1; }"},
                   "m.xml:6:19: gantt sections are not supported"},
        RefusalRow{"ClockDifference",
                   {.declaration = "clock y;", .guard = "x - y &lt; 3"},
                   "m.xml:5:69: clock differences (x - y) are not supported"},
        // Faults of the language's checks, after entities, across lines and in CDATA.
        RefusalRow{"UnknownNameOnTheLabelsSecondLine",
                   {.invariant = "x &lt;= 1 &amp;&amp;\n   m &gt; 1"},
                   "m.xml:5:4: unknown name m"},
        RefusalRow{"UnknownNameInCdata",
                   {.guard = "<![CDATA[n < 1 && k]]>"},
                   "m.xml:5:85: unknown name k"},
        RefusalRow{
            "UnknownTemplate", {.system = "Q1 = Q(); system P;"}, "m.xml:6:14: unknown name Q"}),
    [](const ::testing::TestParamInfo<RefusalRow>& info) { return info.param.name; });

}  // namespace
}  // namespace tickcheck::xml
