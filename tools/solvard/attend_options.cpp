#include "attend_options.hpp"

#include <ostream>

#include "commands.hpp"
#include "port_ops.hpp"
#include "serial/settings.hpp"

namespace solvard::tool {

std::unique_ptr<component::Attend> attendObjectFor(const AttendOptions& options,
                                                   std::string& problem) {
  int16_t portNumber = 0;
  if (!resolvePortOption(options.port, portNumber, problem)) return nullptr;
  auto object = std::make_unique<component::Attend>();
  object->setCommPortID(portNumber);
  object->setCommBautRate(options.baud);
  serial::librarySettings().settingsText = serial::settingsTextFor(options.baud);
  return object;
}

std::string messageWords(const OperatorMessages& messages, const std::string& otherwise) {
  if (messages.texts().empty()) return otherwise;
  std::string words;
  for (const std::string& text : messages.texts()) words += (words.empty() ? "" : " ") + text;
  return words;
}

int reportAcknowledgement(std::ostream& out, const AttendOptions& options, int32_t result,
                          const OperatorMessages& messages, const std::string& done) {
  const std::string terminal = "terminal " + std::to_string(options.machine);
  if (result == 1) {
    out << terminal << " acknowledged: " << done << "\n";
    return kExitOk;
  }
  out << terminal
      << " did not acknowledge: " << messageWords(messages, "its reply could not be read") << "\n";
  return kExitFailed;
}

}  // namespace solvard::tool
