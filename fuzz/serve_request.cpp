// What a client of `solvard serve` controls: an action's JSON body, a records query's values,
// and what an operator writes into the token file. The first byte picks which; for a body the
// second picks the action. Whatever comes, each is refused with a reason or taken as values the
// line and the database can be given: texts short and printable, numbers in their ranges, each
// token found by its own secret. Any other exception escapes and is reported as a crash.

#include <cstddef>
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "printable_text.hpp"
#include "serve_queries.hpp"
#include "serve_requests.hpp"
#include "serve_tokens.hpp"

namespace {

using namespace solvard::tool;

[[noreturn]] void broken() { __builtin_trap(); }

bool fits(const std::string& text) {
  return text.size() <= kLongestValue && controlCharacterProblem(text).empty();
}

void actionBody(const std::string& action, const std::string& text) {
  const auto body = nlohmann::ordered_json::parse(text, nullptr, false);
  if (body.is_discarded() || !body.is_object()) return;  // refused before the values are read
  DoorWords words;
  const auto problem = readDoorValues(action, body, words);
  if (problem) {
    if (problem->empty() || !controlCharacterProblem(*problem).empty()) broken();
    return;
  }
  for (const std::string* text : {&words.date, &words.weekday, &words.time, &words.card,
                                  &words.from, &words.to, &words.start, &words.end,
                                  &words.weekdays}) {
    if (!fits(*text)) broken();
  }
  if (action == "delay" && (words.seconds < 1 || words.seconds > 255)) broken();
  if (action == "mode" && words.mode != 0 && words.mode != 255) broken();
  if ((action == "allow" || action == "deny") && words.card.empty()) broken();
}

void recordQuery(const std::string& text) {
  std::map<std::string, std::string> values;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('&', start), text.size());
    const std::string pair = text.substr(start, end - start);
    const std::size_t equals = pair.find('=');
    if (equals != std::string::npos) values[pair.substr(0, equals)] = pair.substr(equals + 1);
    start = end + 1;
  }
  std::string problem;
  const auto query = readRecordQuery(
      [&](const char* name) -> std::optional<std::string> {
        const auto found = values.find(name);
        if (found == values.end()) return std::nullopt;
        return found->second;
      },
      [](const std::string& line) { return line == "gate"; }, problem);
  if (!query) {
    if (problem.empty()) broken();
    return;
  }
  if (query->limit < 1 || query->limit > kLongestPage || query->after < 0) broken();
  if (query->machine && (*query->machine < 1 || *query->machine > 254)) broken();
  if (query->line && *query->line != "gate") broken();
  if (query->card && (query->card->empty() || query->card->size() > 20 ||
                      query->card->find_first_not_of("0123456789") != std::string::npos))
    broken();
  for (const auto* date : {&query->from, &query->to}) {
    if (*date && ((*date)->size() != 10 || (**date)[4] != '-' || (**date)[7] != '-')) broken();
  }
}

void tokenFile(const std::string& text) {
  try {
    const auto tokens = parseTokens(text, "tokens");
    for (const ServeToken& token : tokens) {
      if (token.secret.size() < kShortestSecret || token.secret.size() > kLongestSecret) broken();
      const auto found = tokenFor(tokens, "Bearer " + token.secret);
      if (!found || found->name != token.name) broken();
    }
  } catch (const std::runtime_error& e) {
    if (std::string(e.what()).rfind("tokens:", 0) != 0) broken();
  }
}

const char* const kActions[] = {"open",  "hold-open", "delay", "mode",          "clock",
                                "allow", "deny",      "clear-cards", "clear-records"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2 || size > kLongestBody) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  switch (data[0] % 3) {
    case 0: actionBody(kActions[data[1] % std::size(kActions)], rest); break;
    case 1: recordQuery(rest); break;
    default: tokenFile(rest); break;
  }
  return 0;
}
