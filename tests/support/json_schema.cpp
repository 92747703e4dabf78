#include "support/json_schema.h"

#include <fstream>
#include <set>
#include <sstream>

namespace tickcheck::testing {
namespace {

using nlohmann::json;

bool HasType(const json& value, const std::string& type) {
  if (type == "object")
    return value.is_object();
  if (type == "array")
    return value.is_array();
  if (type == "string")
    return value.is_string();
  if (type == "boolean")
    return value.is_boolean();
  if (type == "null")
    return value.is_null();
  if (type == "number")
    return value.is_number();
  if (type == "integer")
    return value.is_number_integer() || value.is_number_unsigned() ||
           (value.is_number_float() && value.get<double>() == static_cast<int64_t>(value));
  return false;
}

class Validator {
 public:
  explicit Validator(const json& root) : root_(root) {}

  void Check(const json& schema, const json& value, const std::string& where) {
    static const std::set<std::string> kKnown = {"$schema",     "$defs",    "title",
                                                 "description", "$ref",     "type",
                                                 "properties",  "required", "additionalProperties",
                                                 "items",       "enum",     "minimum"};
    for (const auto& item : schema.items()) {
      if (kKnown.count(item.key()) == 0)
        faults_.push_back(where + ": the schema uses the unchecked keyword " + item.key());
    }
    if (schema.contains("$ref")) {
      const std::string ref = schema["$ref"];
      const std::string prefix = "#/$defs/";
      if (ref.rfind(prefix, 0) != 0 || !root_["$defs"].contains(ref.substr(prefix.size()))) {
        faults_.push_back(where + ": unknown reference " + ref);
        return;
      }
      Check(root_["$defs"][ref.substr(prefix.size())], value, where);
    }
    if (schema.contains("type")) {
      const json types = schema["type"].is_array() ? schema["type"] : json::array({schema["type"]});
      bool any = false;
      for (const json& type : types)
        any = any || HasType(value, type.get<std::string>());
      if (!any) {
        faults_.push_back(where + ": " + value.dump() + " is not of type " + schema["type"].dump());
        return;
      }
    }
    if (schema.contains("enum")) {
      bool found = false;
      for (const json& option : schema["enum"])
        found = found || option == value;
      if (!found)
        faults_.push_back(where + ": " + value.dump() + " is not one of " + schema["enum"].dump());
    }
    if (schema.contains("minimum") && value.is_number() && value < schema["minimum"])
      faults_.push_back(where + ": " + value.dump() + " is below " + schema["minimum"].dump());
    if (value.is_object())
      CheckObject(schema, value, where);
    if (value.is_array() && schema.contains("items")) {
      for (size_t i = 0; i < value.size(); ++i)
        Check(schema["items"], value[i], where + "/" + std::to_string(i));
    }
  }

  const std::vector<std::string>& Faults() const { return faults_; }

 private:
  void CheckObject(const json& schema, const json& value, const std::string& where) {
    for (const json& key : schema.value("required", json::array())) {
      if (!value.contains(key.get<std::string>()))
        faults_.push_back(where + ": the member " + key.get<std::string>() + " is missing");
    }
    const json properties = schema.value("properties", json::object());
    for (const auto& item : value.items()) {
      if (properties.contains(item.key()))
        Check(properties[item.key()], item.value(), where + "/" + item.key());
      else if (schema.value("additionalProperties", true) == false)
        faults_.push_back(where + ": the member " + item.key() + " is not in the schema");
    }
  }

  const json& root_;
  std::vector<std::string> faults_;
};

}  // namespace

std::vector<std::string> SchemaFaults(const json& schema, const json& document) {
  Validator validator(schema);
  validator.Check(schema, document, "");
  return validator.Faults();
}

json JsonBlockAfter(const std::string& path, const std::string& heading) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line) && line != heading) {
  }
  while (std::getline(in, line) && line != "```json") {
  }
  std::ostringstream block;
  while (std::getline(in, line) && line != "```")
    block << line << '\n';
  return json::parse(block.str());
}

}  // namespace tickcheck::testing
