#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "solvard/export.hpp"
#include "solvard/line.hpp"
#include "solvard/records.hpp"
#include "solvard/values.hpp"

namespace solvard {

// The two lock modes an access-control terminal knows; what each does is the terminal's.
enum class LockMode : uint8_t { mode0 = 0, mode255 = 255 };

// An access-control (door-lock) terminal on a line. Each call is one exchange with it,
// acknowledged by [machine number, 2].
class SOLVARD_API DoorTerminal {
 public:
  DoorTerminal(Line& line, MachineNumber machine) : line_(&line), machine_(machine) {}
  MachineNumber machine() const { return machine_; }

  // The terminal's ten-digit identity.
  Result<CardNumber> identity();
  Result<void> openDoor();
  // Asks for the lock's state: the terminal acknowledges and says nothing more, so success
  // means the terminal is there and answering.
  Result<void> readLockState();
  // Holds the lock open (the terminal's open state).
  Result<void> holdOpen();
  // How long the lock stays open, 1 to 255 seconds.
  Result<void> setResetDelay(int seconds);
  Result<void> setLockMode(LockMode mode);
  // The terminal's calendar and its weekday number.
  Result<void> setDate(Date date, WeekdayNumber weekday);
  Result<void> setTime(TimeOfDay time);
  // The date with its weekday (`weekday`, or the ISO number of the day: Monday 1 to Sunday 7),
  // then the time of `wallClock`.
  Result<void> setClock(std::chrono::local_seconds wallClock,
                        std::optional<WeekdayNumber> weekday = std::nullopt);
  // Puts the card on the open list with its permit; again for the same card replaces it.
  Result<void> allowCard(const CardNumber& card, const CardPermit& permit);
  Result<void> denyCard(const CardNumber& card);
  Result<void> clearCardList();
  Result<void> clearRecords();

  // Downloads the stored records, one prompt each. A record is handed over before the terminal
  // is prompted again (the prompt makes the terminal forget it); a record the callback refuses
  // is kept by the library and handed over first by the next download of this terminal. A
  // status that names another machine ends the download with `wrong_machine`, nothing of it
  // taken and the terminal not prompted again: those are another terminal's bytes.
  Result<AccessSummary> download(AccessCallback onRecord, AccessBounds bounds = {});
  // Into `table` (columns card, date, time) of the database `connection` opens, each record
  // committed before the next prompt. In an SQLite file (a text without '=') the table is made
  // first when it is missing; any other database must hold it (sql/<engine>/access_records.sql).
  Result<AccessSummary> downloadToDatabase(const std::string& connection, const std::string& table);

 private:
  Line* line_;
  MachineNumber machine_;
};

}  // namespace solvard
