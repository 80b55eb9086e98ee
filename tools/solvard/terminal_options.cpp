#include "terminal_options.hpp"

#include <charconv>

namespace solvard::tool {
namespace {

bool readWhole(const std::string& text, int lo, int hi, int& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= lo && value <= hi;
}

}  // namespace

bool parseTerminalOptions(const std::vector<std::string>& args,
                          const std::set<std::string>& valueOptions,
                          const std::set<std::string>& flagOptions, TerminalOptions& options,
                          std::string& problem) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (flagOptions.contains(word)) {
      options.flags.insert(word);
      continue;
    }
    const bool known =
        word == "--machine" || word == "--port" || word == "--baud" || valueOptions.contains(word);
    if (!known) {
      problem = "unknown option " + word;
      return false;
    }
    if (i + 1 >= args.size()) {
      problem = word + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    int number = 0;
    if (word == "--machine") {
      // A command never guesses which terminal: the number must address one.
      if (!readWhole(value, 0, 255, number)) {
        problem = "--machine takes a machine number 0 to 255, not \"" + value + "\"";
        return false;
      }
      options.machine = static_cast<int16_t>(number);
    } else if (word == "--port") {
      options.port = value;
    } else if (word == "--baud") {
      // The objects keep their rate as a 16-bit value.
      if (!readWhole(value, 1, 32767, number)) {
        problem = "--baud takes a baud rate 1 to 32767, such as 9600, not \"" + value + "\"";
        return false;
      }
      options.baud = static_cast<int16_t>(number);
    } else {
      options.values[word] = value;
    }
  }
  if (options.machine < 0) {
    problem = "--machine M names the terminal";
    return false;
  }
  if (options.port.empty()) {
    problem = "--port N|PATH names the serial line";
    return false;
  }
  return true;
}

OperatorMessages::OperatorMessages()
    : presenter_([this](const ui::MessageBoxView& view) {
        texts_.push_back(view.text);
        return ui::Choice::Command1;
      }) {}

std::string OperatorMessages::take() {
  std::string joined;
  for (const std::string& text : texts_) {
    if (!joined.empty()) joined += "; ";
    joined += text;
  }
  texts_.clear();
  return joined;
}

}  // namespace solvard::tool
