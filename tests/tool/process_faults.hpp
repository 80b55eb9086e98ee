#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "collect_fixture.hpp"
#include "collect_records.hpp"
#include "query_text.hpp"
#include "simulate_process.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/simulator.hpp"

// What the tests of a real `solvard` process cut in the middle share: the process started in
// the background with the test's own state folder, bounded waits for the moment to cut, the
// records a host table and the kept-records file hold, and what a simulated door still holds.
namespace solvard::tool::testing {

// Polls `ready` every few milliseconds for at most `limit`; whether it became true.
inline bool waitUntil(const std::function<bool()>& ready,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// `solvard COMMAND ARGS...` in the background with the folder's state folder. The process takes
// this process's environment, so XDG_STATE_HOME is set to the folder's own while it starts.
inline std::unique_ptr<SimulateProcess> startSolvard(const CollectFolder& folder,
                                                     const std::string& command,
                                                     const std::vector<std::string>& args) {
  const char* saved = std::getenv("XDG_STATE_HOME");
  const std::optional<std::string> before =
      saved == nullptr ? std::nullopt : std::optional<std::string>(saved);
  ::setenv("XDG_STATE_HOME", folder.env().at("XDG_STATE_HOME").c_str(), 1);
  auto process = std::make_unique<SimulateProcess>(args, Input::DevNull, command);
  if (before) {
    ::setenv("XDG_STATE_HOME", before->c_str(), 1);
  } else {
    ::unsetenv("XDG_STATE_HOME");
  }
  return process;
}

// Waits until a paced simulator at `baud` has sent the whole reply to the last frame it took: a
// clock goes on streaming the records of a download its host stopped reading. At most a minute.
inline void waitForLastReply(simulator::Simulator& sim, int baud) {
  const std::vector<simulator::LoggedFrame> frames = sim.frames();
  if (frames.empty() || frames.back().times.empty()) return;
  const simulator::LoggedFrame& last = frames.back();
  const auto byteTime = std::chrono::microseconds(10'000'000 / baud);
  const auto sent =
      last.times.front() + static_cast<int64_t>(last.bytes.size() + last.reply.size()) * byteTime;
  // The simulator's thread begins each byte's time when it sends it: a little later than due.
  const auto end = std::min(sent + std::chrono::milliseconds(300),
                            std::chrono::steady_clock::now() + std::chrono::seconds(60));
  std::this_thread::sleep_until(end);
}

// `count` door records of distinct cards, a minute apart from midnight of `day` June 2004.
inline std::vector<simulator::Bytes> distinctDoorRecords(int count, int day) {
  std::vector<simulator::Bytes> records;
  for (int i = 0; i < count; ++i) {
    records.push_back(simulator::accessRecord("00000" + std::to_string(50000 + i), 4, 6, day,
                                              i / 60 % 24, i % 60));
  }
  return records;
}

// The record lines of the kept-records file in the folder's state folder ("<machine> <record in
// hex> <identity> <checksum> <line>"), without its header; none when there is no file.
inline std::vector<std::string> keptRecordLines(const CollectFolder& folder) {
  std::ifstream file(folder.path() / "state" / "solvard" / "pending-access-records");
  std::vector<std::string> lines;
  std::string line;
  bool header = true;
  while (std::getline(file, line)) {
    if (header) {
      header = false;
      continue;
    }
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// The record `line` of the kept-records file carries, as a row of `accessRow`'s form for the
// line name `name`; empty when the line is not a kept record.
inline std::string keptRow(const std::string& line, const std::string& name) {
  const std::size_t space = line.find(' ');
  if (space == std::string::npos || line.size() < space + 21) return {};
  const std::string hex = line.substr(space + 1, 20);
  simulator::Bytes record;
  for (std::size_t i = 0; i < hex.size(); i += 2)
    record.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return accessRow(name, std::stoi(line.substr(0, space)), record);
}

// A host table's rows (the door download's CardNo, RecordDate, RecordTime) in `accessRow`'s form
// for line "H" and `machine`, sorted; one row "unreadable: ..." when it cannot be read.
inline std::vector<std::string> hostAccessRows(const std::string& database,
                                               const std::string& table, int machine) {
  return queriedRows(database, "select 'H', '" + std::to_string(machine) +
                                   "', CardNo, RecordDate, RecordTime from " + table);
}

// The attendance download's rows (WorkCardSource) in `attendRow`'s form for line "H", sorted.
inline std::vector<std::string> hostAttendanceRows(const std::string& database) {
  return queriedRows(database,
                     "select 'H', MachineNo, CardNo, CardDate, CardTime from WorkCardSource");
}

// What a simulated door holds, and the record it sent and still holds (the one in hand when a
// download ended between its commit and the next prompt).
struct DoorHolds {
  std::vector<std::string> rows;  // sorted, `accessRow`'s form
  std::optional<std::string> inHand;
};

inline DoorHolds doorHolds(simulator::Simulator& sim, simulator::AccessTerminal& door,
                           const std::string& line, int machine) {
  return sim.withState([&] {
    DoorHolds holds;
    holds.rows = everyRow(accessRows(line, machine, door.state().records));
    if (door.state().recordSent)
      holds.inHand = accessRow(line, machine, door.state().records.front());
    return holds;
  });
}

}  // namespace solvard::tool::testing
