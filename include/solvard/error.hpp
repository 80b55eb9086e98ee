#pragma once

#include <string>
#include <string_view>

#include "solvard/export.hpp"

namespace solvard {

// Why a native call failed. Each code has an English message (solvard::message); the Error
// carrying it adds the detail a person needs to act: the device and the system's reason, the
// exchange and how many bytes came, the SQLSTATE and the driver's words.
enum class Errc {
  // A value the terminal cannot be sent; nothing was sent.
  invalid_value = 1,
  // Another command is running on this line (from another thread, or from the host's own
  // message loop while a reply is awaited).
  line_busy,
  // The line's device does not exist.
  port_not_found,
  // The device is not a serial line (a regular file, a folder, ...).
  port_not_a_terminal,
  // The system does not let this program open the device.
  port_permission_denied,
  // Another program (or another line of this one) holds the device.
  port_in_use,
  // The device refused the line settings (a baud rate it cannot do).
  port_settings_refused,
  // Any other failure of the port: opening, reading or writing.
  port_failed,
  // The terminal did not answer: nothing came within the wait.
  no_reply,
  // Another terminal answered: the reply carried another machine number.
  wrong_machine,
  // A reply or a record began but did not come whole within its wait.
  reply_incomplete,
  // A reply came that the command does not expect.
  unexpected_reply,
  // The database cannot be opened, or the table cannot be used; nothing was asked of the
  // terminal.
  database_unavailable,
  // The database refused a statement; what the download wrote is undone.
  database_refused,
  // The connection dropped around a commit and the database could not say whether it
  // committed: the records may be stored.
  outcome_unknown,
  // The host's sink did not take a record; what the download wrote is undone (attendance) or
  // the record is kept for the next download (access control).
  sink_refused,
  // A record kept from an earlier download still cannot be written, so the terminal was not
  // prompted.
  record_pending,
  // The host asked the download to stop.
  stopped,
  // The download ran past its bound of time: the terminal kept sending without finishing;
  // nothing of it is kept (attendance).
  limit_reached,
};

// The English sentence of a code, as a person reads it: "the terminal did not answer".
SOLVARD_API std::string_view message(Errc code);

// A failed call: its code and what exactly happened.
class SOLVARD_API Error {
 public:
  Error(Errc code, std::string detail) : code_(code), detail_(std::move(detail)) {}

  Errc code() const { return code_; }
  // "/dev/ttyUSB0: No such file or directory", "acknowledgement of terminal 3: 0 of 2 bytes
  // came within 1 s", "[42S02] (1) no such table: Records". May be empty.
  const std::string& detail() const { return detail_; }
  // The code's sentence and the detail: "the serial device does not exist: /dev/ttyUSB0: No
  // such file or directory".
  std::string message() const;

 private:
  Errc code_;
  std::string detail_;
};

}  // namespace solvard
