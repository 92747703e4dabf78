#pragma once
// The reader of an XML model document (an `nta` root): its elements, checked and gathered, with
// the texts of its labels decoded and mapped to their positions (xml/text_map.h). The texts are
// not parsed here: that is the language's parser's work (xml/compiler.h).
//
//   <nta>
//     <declaration>global declarations</declaration>            optional
//     <template>                                                 any number
//       <name>Train</name> <parameter>const id_t id</parameter>  parameter optional
//       <declaration>local declarations and functions</declaration>   optional
//       <location id="id0" x="0" y="0">                          any number
//         <name>safe</name>                                      optional: named by its id
//         <label kind="invariant">x &lt;= 5</label>             optional
//         <urgent/> or <committed/>                              optional
//       </location>
//       <init ref="id0"/>
//       <transition>                                             any number
//         <source ref="id0"/> <target ref="id1"/>
//         <label kind="select|guard|synchronisation|assignment">...</label>
//         <nail x="0" y="0"/>                                     ignored
//       </transition>
//     </template>
//     <system>instances and the system line</system>
//     <queries><query><formula>E&lt;&gt; Train(1).cross</formula><comment/></query></queries>
//   </nta>
//
// Coordinates, `<nail>`, comments labels, `<comment>`, `<result>`, `<expect>` and `<option>` of a
// query and an empty `<instantiation>` are ignored; an empty formula is skipped. Refused, each
// with one error naming it: branchpoints, probability and rate labels, a non-empty
// `<instantiation>`, and any element or label kind that is not above. The document is read as
// UTF-8.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lang/diagnostics.h"
#include "xml/text_map.h"

namespace tickcheck::xml {

struct NtaLocation {
  std::string id;
  std::optional<DocumentText> name;  // none: the location is named by its id
  std::optional<DocumentText> invariant;
  bool urgent = false;
  bool committed = false;
  size_t element = 0;  // the offset of its `<location`
};

struct NtaTransition {
  std::string source, target;  // location ids
  size_t sourceElement = 0, targetElement = 0;
  std::optional<DocumentText> select, guard, sync, assignment;
  size_t element = 0;
};

struct NtaTemplate {
  DocumentText name;
  std::optional<DocumentText> parameter;
  std::optional<DocumentText> declaration;
  std::vector<NtaLocation> locations;
  std::string init;  // the id of the initial location
  size_t initElement = 0;
  std::vector<NtaTransition> transitions;
  size_t element = 0;
};

struct NtaDocument {
  std::optional<DocumentText> declaration;
  std::vector<NtaTemplate> templates;
  DocumentText system;
  std::vector<DocumentText> queries;  // the non-empty formulas, in order
};

// Reads the document `bytes`. Malformed XML gives one error, "malformed XML: <the XML parser's
// description>", at the place where the parser stopped; a document that is well formed but not a
// model gives one error per fault found (a missing or doubled element, an unknown element, a
// refused construct, a reference to no location). Nothing is answered when any error was found.
std::optional<NtaDocument> ReadNtaDocument(std::string_view bytes, const DocumentLines& lines,
                                           lang::Diagnostics& diagnostics);

}  // namespace tickcheck::xml
