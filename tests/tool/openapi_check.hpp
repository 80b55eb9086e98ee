#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// Checks a response body against the schema an OpenAPI 3.0 document gives it, for the parts of
// the schema language the service's document uses: $ref, type, nullable, required, properties,
// items, enum, minimum and maximum. Each problem is "WHERE: what".
namespace solvard::tool::testing {

using json = nlohmann::json;

inline const json& resolved(const json& document, const json& node) {
  if (!node.is_object() || !node.contains("$ref")) return node;
  const std::string ref = node["$ref"].get<std::string>();
  return resolved(document, document.at(json::json_pointer(ref.substr(1))));
}

inline void checkValue(const json& document, const json& schemaNode, const json& value,
                       const std::string& where, std::vector<std::string>& problems) {
  const json& schema = resolved(document, schemaNode);
  if (value.is_null()) {
    if (schema.contains("type") && !schema.value("nullable", false))
      problems.push_back(where + ": null where the schema allows none");
    return;
  }
  if (schema.contains("type")) {
    const std::string type = schema["type"].get<std::string>();
    const bool fits =
        (type == "object" && value.is_object()) || (type == "array" && value.is_array()) ||
        (type == "string" && value.is_string()) ||
        (type == "integer" && value.is_number_integer()) ||
        (type == "number" && value.is_number()) || (type == "boolean" && value.is_boolean());
    if (!fits) {
      problems.push_back(where + ": " + value.dump() + " is not of type " + type);
      return;
    }
  }
  if (schema.contains("enum") &&
      std::find(schema["enum"].begin(), schema["enum"].end(), value) == schema["enum"].end())
    problems.push_back(where + ": " + value.dump() + " is not one of " + schema["enum"].dump());
  if (value.is_number() && schema.contains("minimum") && value < schema["minimum"])
    problems.push_back(where + ": below the minimum");
  if (value.is_number() && schema.contains("maximum") && value > schema["maximum"])
    problems.push_back(where + ": above the maximum");
  if (value.is_object()) {
    for (const json& key : schema.value("required", json::array()))
      if (!value.contains(key.get<std::string>()))
        problems.push_back(where + ": " + key.get<std::string>() + " is missing");
    const json properties = schema.value("properties", json::object());
    for (const auto& [key, property] : properties.items())
      if (value.contains(key))
        checkValue(document, property, value[key], where + "." + key, problems);
  }
  if (value.is_array() && schema.contains("items")) {
    for (std::size_t i = 0; i < value.size(); ++i)
      checkValue(document, schema["items"], value[i], where + "[" + std::to_string(i) + "]",
                 problems);
  }
}

// The problems of `body`, answered with `status` to `method` on `path` (the document's path
// template, e.g. "/api/v1/lines/{line}/terminals/{machine}/{action}"), as JSON; one problem
// when the document does not describe that answer at all.
inline std::vector<std::string> responseProblems(const json& document, const std::string& path,
                                                 const std::string& method, int status,
                                                 const json& body) {
  const json& paths = document.at("paths");
  if (!paths.contains(path) || !paths[path].contains(method))
    return {method + " " + path + ": not in the document"};
  const json& responses = paths[path][method].at("responses");
  const std::string code = std::to_string(status);
  if (!responses.contains(code))
    return {method + " " + path + ": answer " + code + " undocumented"};
  const json& response = resolved(document, responses[code]);
  std::vector<std::string> problems;
  checkValue(document, response.at("content").at("application/json").at("schema"), body,
             method + " " + path + " " + code, problems);
  return problems;
}

}  // namespace solvard::tool::testing
