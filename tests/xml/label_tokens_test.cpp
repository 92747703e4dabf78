// The tokens of a label keep their places in the document, after entities, across lines and in
// CDATA sections, and so does an error of the lexer.
#include "xml/label_tokens.h"

#include <gtest/gtest.h>

#include <string>

#include "xml/document.h"

namespace tickcheck::xml {
namespace {

std::string Shown(const lang::SourcePos& pos) {
  return std::to_string(pos.line) + ":" + std::to_string(pos.column);
}

TEST(LabelTokensTest, PositionsAreThoseOfTheDocument) {
  const std::string document =
      "<nta><system>\n"
      "  a &lt;= b\n"
      "  &amp;&amp; <![CDATA[c<d]]> $</system></nta>";
  const DocumentLines lines(document);
  lang::Diagnostics diagnostics("m.xml");
  const std::optional<NtaDocument> read = ReadNtaDocument(document, lines, diagnostics);
  ASSERT_TRUE(read);
  const std::vector<lang::Token> tokens = LexLabel(read->system, lines, diagnostics);
  EXPECT_TRUE(tokens.empty());
  ASSERT_EQ(diagnostics.Errors().size(), 1u);
  EXPECT_EQ(Shown(diagnostics.Errors()[0].pos), "3:30");

  DocumentText withoutError = read->system;
  withoutError.text.resize(withoutError.text.find('$'));
  withoutError.offsets.resize(withoutError.text.size() + 1);
  const std::vector<lang::Token> lexed = LexLabel(withoutError, lines, diagnostics);
  std::vector<std::string> shown;
  for (const lang::Token& token : lexed)
    shown.push_back(token.text + "@" + Shown(token.pos));
  EXPECT_EQ(shown, (std::vector<std::string>{"a@2:3", "<=@2:5", "b@2:11", "&&@3:3", "c@3:23",
                                             "<@3:24", "d@3:25", "@3:30"}));
}

}  // namespace
}  // namespace tickcheck::xml
