#pragma once
// A validator for the part of JSON Schema (draft 2020-12) that the README's schema of the JSON
// document uses: `type` (a name or a list of names; "integer" is a number without a fraction),
// `properties`, `required` and `additionalProperties: false` (for objects), `items` (for arrays),
// `enum`, `minimum` (for numbers) and `$ref` to "#/$defs/<name>". `$schema`, `$defs`, `title` and
// `description` are not checked. Any other keyword is reported as a fault, so that a schema
// cannot lean on a rule that is not checked.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tickcheck::testing {

// The faults of `document` against `schema`, one per line ("/properties/0/verdict: 2 is not one
// of [0,1,null]"); empty when it is valid.
std::vector<std::string> SchemaFaults(const nlohmann::json& schema, const nlohmann::json& document);

// The JSON of the first ```json block after the line `heading` of the Markdown file `path`.
nlohmann::json JsonBlockAfter(const std::string& path, const std::string& heading);

}  // namespace tickcheck::testing
