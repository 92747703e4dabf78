// The reader of XML model documents on hand-written documents: every element it knows, entities
// and CDATA in labels with the positions of their bytes, and the errors of missing, doubled and
// unknown elements, refused constructs and malformed XML, each at its place in the document.
#include "xml/document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tickcheck::xml {
namespace {

// The errors of reading `document`, formatted as a run prints them.
std::vector<std::string> Errors(const std::string& document) {
  const DocumentLines lines(document);
  lang::Diagnostics diagnostics("m.xml");
  const std::optional<NtaDocument> read = ReadNtaDocument(document, lines, diagnostics);
  std::vector<std::string> errors;
  for (const lang::Diagnostic& error : diagnostics.Errors())
    errors.push_back(error.Format());
  EXPECT_EQ(read.has_value(), errors.empty());
  return errors;
}

// The position in `document` of a decoded text's byte.
std::string At(const std::string& document, const DocumentText& text, size_t index) {
  const lang::SourcePos pos = DocumentLines(document).At(text.offsets[index]);
  return std::to_string(pos.line) + ":" + std::to_string(pos.column);
}

const char kFull[] = R"(<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE nta PUBLIC '-//x//DTD y//EN' 'http://example.org/flat.dtd'>
<nta>
  <declaration>int[0,3] n; chan go;</declaration>
  <template>
    <name x="5" y="5">Train</name>
    <parameter>const int id</parameter>
    <declaration>clock x;</declaration>
    <location id="id0" x="0" y="0">
      <name x="1" y="1">far</name>
      <label kind="invariant" x="2" y="2">x &lt;= 5</label>
      <label kind="comments">the train is away</label>
      <urgent/>
    </location>
    <location id="id1"><committed/></location>
    <init ref="id0"/>
    <transition>
      <source ref="id0"/>
      <target ref="id1"/>
      <label kind="select">e : int[0,1]</label>
      <label kind="guard"><![CDATA[x < 3 && n >= 1]]></label>
      <label kind="synchronisation">go!</label>
      <label kind="assignment">n := n &amp;&amp; 1, x = 0</label>
      <label kind="comments">a comment</label>
      <nail x="3" y="4"/>
    </transition>
    <instantiation> </instantiation>
  </template>
  <system>T1 = Train(1);
system T1;</system>
  <queries>
    <query><formula>E&lt;&gt; T1.id1</formula><comment>reaches it</comment></query>
    <query><formula>  </formula><comment>skipped</comment></query>
    <query><formula>A[] n &lt;= 3</formula><result outcome="success"/></query>
  </queries>
</nta>
)";

TEST(NtaDocumentTest, EveryElementItKnows) {
  const std::string document = kFull;
  const DocumentLines lines(document);
  lang::Diagnostics diagnostics("m.xml");
  const std::optional<NtaDocument> read = ReadNtaDocument(document, lines, diagnostics);
  ASSERT_TRUE(read) << diagnostics.Errors()[0].Format();
  EXPECT_EQ(read->declaration->text, "int[0,3] n; chan go;");
  ASSERT_EQ(read->templates.size(), 1u);
  const NtaTemplate& train = read->templates[0];
  EXPECT_EQ(train.name.text, "Train");
  EXPECT_EQ(train.parameter->text, "const int id");
  EXPECT_EQ(train.declaration->text, "clock x;");
  ASSERT_EQ(train.locations.size(), 2u);
  EXPECT_EQ(train.locations[0].id, "id0");
  EXPECT_EQ(train.locations[0].name->text, "far");
  EXPECT_EQ(train.locations[0].invariant->text, "x <= 5");
  EXPECT_TRUE(train.locations[0].urgent);
  EXPECT_FALSE(train.locations[1].name);
  EXPECT_TRUE(train.locations[1].committed);
  EXPECT_EQ(train.init, "id0");
  ASSERT_EQ(train.transitions.size(), 1u);
  const NtaTransition& edge = train.transitions[0];
  EXPECT_EQ(edge.source, "id0");
  EXPECT_EQ(edge.target, "id1");
  EXPECT_EQ(edge.select->text, "e : int[0,1]");
  EXPECT_EQ(edge.guard->text, "x < 3 && n >= 1");
  EXPECT_EQ(edge.sync->text, "go!");
  EXPECT_EQ(edge.assignment->text, "n := n && 1, x = 0");
  EXPECT_EQ(read->system.text, "T1 = Train(1);\nsystem T1;");
  ASSERT_EQ(read->queries.size(), 2u);
  EXPECT_EQ(read->queries[0].text, "E<> T1.id1");
  EXPECT_EQ(read->queries[1].text, "A[] n <= 3");

  // Each decoded byte keeps the position of the text that gave it: an entity's bytes that of its
  // `&`, a CDATA section's bytes their own.
  const DocumentText& invariant = *train.locations[0].invariant;
  EXPECT_EQ(At(document, invariant, 0), "11:43");  // x
  EXPECT_EQ(At(document, invariant, 2), "11:45");  // < from &lt;
  EXPECT_EQ(At(document, invariant, 3), "11:49");  // =
  EXPECT_EQ(At(document, *edge.guard, 0), "21:36");
  const DocumentText& assignment = *edge.assignment;
  EXPECT_EQ(At(document, assignment, 8), "23:44");  // the second & of &&, from &amp;
  EXPECT_EQ(At(document, assignment, assignment.text.size()), "23:58");  // its end
  EXPECT_EQ(At(document, read->system, 15), "30:1");                     // system, on the next line
  EXPECT_EQ(invariant.OffsetOf({1, 4}), invariant.offsets[3]);
}

struct ErrorCase {
  const char* name;
  std::string document;
  std::vector<std::string> errors;
};

class NtaErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(NtaErrorTest, ReportsEachFaultAtItsPlace) {
  EXPECT_EQ(Errors(GetParam().document), GetParam().errors);
}

// A template with one location and the given body after it; `system` ends the document.
std::string WithTemplate(const std::string& body) {
  return "<nta>\n<template><name>P</name>\n<location id=\"a\"/><init ref=\"a\"/>\n" + body +
         "</template>\n<system>system P;</system>\n</nta>\n";
}

INSTANTIATE_TEST_SUITE_P(
    Documents, NtaErrorTest,
    ::testing::Values(
        ErrorCase{"Malformed",
                  "<nta>\n  <system>system P;</sys>\n</nta>\n",
                  {"m.xml:2:22: malformed XML: Start-end tags mismatch"}},
        ErrorCase{"Empty", "", {"m.xml:1:1: malformed XML: No document element found"}},
        ErrorCase{"NotAModel", "<model/>", {"m.xml:1:1: the root element is <model>, not <nta>"}},
        ErrorCase{"NoSystem",
                  "<nta>\n  <declaration/>\n</nta>",
                  {"m.xml:1:1: <nta> without <system>: the document names no processes"}},
        ErrorCase{"DoubledAndUnknown",
                  "<nta><system/>\n<system/><imports>x</imports></nta>",
                  {"m.xml:2:1: a second <system> in <nta>",
                   "m.xml:2:10: unknown element <imports> in <nta>"}},
        ErrorCase{"TemplateWithoutNameOrInit",
                  "<nta>\n<template/>\n<template><name>Q</name></template>\n<system/></nta>",
                  {"m.xml:2:1: <template> without <name>",
                   "m.xml:3:1: template Q: no <init> names the initial location"}},
        ErrorCase{"References",
                  WithTemplate("<init ref=\"a\"/><transition><source ref=\"b\"/>\n"
                               "<target ref=\"a\"/></transition><transition/>\n"
                               "<location id=\"a\"/>"),
                  {"m.xml:4:1: a second <init> in <template>",
                   "m.xml:5:31: <transition> without <source>",
                   "m.xml:5:31: <transition> without <target>",
                   "m.xml:6:1: template P: a second location with id \"a\"",
                   "m.xml:4:28: template P: the source of a transition is no location: \"b\""}},
        ErrorCase{"InitToNowhere",
                  "<nta><template><name>P</name><location id=\"a\"/>\n<init ref=\"z\"/>"
                  "</template><system/></nta>",
                  {"m.xml:2:1: template P: <init> refers to no location: \"z\""}},
        ErrorCase{"RefusedConstructs",
                  WithTemplate("<branchpoint id=\"b\"/>\n"
                               "<transition><source ref=\"a\"/><target ref=\"a\"/>\n"
                               "<label kind=\"probability\">1</label></transition>\n"
                               "<location id=\"c\"><label kind=\"exponentialrate\">2</label>"
                               "</location>\n<instantiation>Q = P();</instantiation>\n"),
                  {"m.xml:4:1: <branchpoint>: probabilistic branches are not supported",
                   "m.xml:6:1: label kind \"probability\": probabilities are not supported",
                   "m.xml:7:18: label kind \"exponentialrate\": rates are not supported",
                   "m.xml:8:1: <instantiation> with a text is not supported"}},
        ErrorCase{"UnknownLabelsAndElements",
                  WithTemplate("<location id=\"c\"><urgent/><committed/><label kind=\"x\"/>"
                               "<color/></location>\n<transition><source ref=\"a\"/>"
                               "<target ref=\"a\"/><label kind=\"guard\">1</label>"
                               "<label kind=\"guard\">2</label><label kind=\"y\"/>"
                               "<label kind=\"guard\">3<b/></label></transition>\n"),
                  {"m.xml:4:39: unknown label kind \"x\" in <location>",
                   "m.xml:4:56: unknown element <color> in <location>",
                   "m.xml:4:1: a location is both <urgent> and <committed>",
                   "m.xml:5:76: a second label of kind \"guard\" in <transition>",
                   "m.xml:5:105: unknown label kind \"y\" in <transition>",
                   "m.xml:5:122: a second label of kind \"guard\" in <transition>"}},
        ErrorCase{"TextWithElements",
                  "<nta><system>system <b>P</b>;</system></nta>",
                  {"m.xml:1:21: unexpected element <b> inside <system>"}},
        ErrorCase{"Queries",
                  "<nta><system/><queries><query><formula>E&lt;&gt; 1</formula>\n"
                  "<formula/><weight/></query><note/></queries></nta>",
                  {"m.xml:2:1: a second <formula> in <query>",
                   "m.xml:2:11: unknown element <weight> in <query>",
                   "m.xml:2:28: unknown element <note> in <queries>"}}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

}  // namespace
}  // namespace tickcheck::xml
