#include "solvard/error.hpp"

namespace solvard {

std::string_view message(Errc code) {
  switch (code) {
    case Errc::invalid_value: return "the value cannot be sent to a terminal";
    case Errc::line_busy: return "another command is running on the line";
    case Errc::port_not_found: return "the serial device does not exist";
    case Errc::port_not_a_terminal: return "the device is not a serial line";
    case Errc::port_permission_denied: return "this program may not open the serial device";
    case Errc::port_in_use: return "another program is using the serial device";
    case Errc::port_settings_refused: return "the serial device refused the line settings";
    case Errc::port_failed: return "the serial port failed";
    case Errc::no_reply: return "the terminal did not answer";
    case Errc::wrong_machine: return "another terminal answered";
    case Errc::reply_incomplete: return "the terminal's reply did not come whole";
    case Errc::unexpected_reply: return "the terminal's reply was not the one expected";
    case Errc::database_unavailable: return "the database cannot be used";
    case Errc::database_refused: return "the database refused a statement";
    case Errc::outcome_unknown:
      return "the connection dropped around the commit: the records may be stored";
    case Errc::sink_refused: return "the host did not take a record";
    case Errc::record_pending: return "a record kept from an earlier download cannot be written";
    case Errc::stopped: return "the download was stopped";
    case Errc::limit_reached: return "the download ran past its bound";
  }
  return "unknown error";
}

std::string Error::message() const {
  std::string text(solvard::message(code_));
  if (!detail_.empty()) text += ": " + detail_;
  return text;
}

}  // namespace solvard
