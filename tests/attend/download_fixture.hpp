#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "attend_fixture.hpp"
#include "component/shared_database.hpp"
#include "db/scripted_connection.hpp"
#include "ui/host_reports.hpp"

namespace solvard::attend::testing {

// A record as a terminal stores it: card 12 34 56, 2001-05-07 08:30, end mark.
inline Bytes storedRecord(uint8_t card0 = 0x12, uint8_t card1 = 0x34, uint8_t card2 = 0x56,
                          uint8_t day = 0x07, uint8_t minute = 0x30) {
  return {card0, card1, card2, 0x01, 0x05, day, 0x08, minute, 0xAA};
}

// What a terminal sends for the download: its machine number and the count, then each record
// behind its machine number.
inline Bytes downloadReply(uint8_t machine, int count, const std::vector<Bytes>& records) {
  Bytes reply{machine, static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count & 0xFF)};
  for (const Bytes& record : records) {
    reply.push_back(machine);
    reply.insert(reply.end(), record.begin(), record.end());
  }
  return reply;
}

// The download of an `Attend` object on the scripted port, with a scripted database in place of
// the shared connection. Messages, log lines and progress reports are collected.
class DownloadTest : public AttendTest {
 protected:
  void SetUp() override {
    AttendTest::SetUp();
    auto scripted = std::make_unique<db::ScriptedConnection>();
    database = scripted.get();
    savedDatabase_ = replaceSharedDatabase(std::move(scripted));
    savedLog_ = ui::setLogSink([this](const std::string& line) { logged.push_back(line); });
    savedProgress_ = ui::setProgressSink(
        [this](int32_t done, int32_t total) { progress.emplace_back(done, total); });
    object.setConnectString("attend.db");
  }

  void TearDown() override {
    ui::setProgressSink(std::move(savedProgress_));
    ui::setLogSink(std::move(savedLog_));
    replaceSharedDatabase(std::move(savedDatabase_));
    AttendTest::TearDown();
  }

  db::ScriptedConnection* database = nullptr;
  std::vector<std::string> logged;
  std::vector<std::pair<int32_t, int32_t>> progress;

 private:
  std::unique_ptr<db::Connection> savedDatabase_;
  ui::LogSink savedLog_;
  ui::ProgressSink savedProgress_;
};

// How the download prepares the port: the object's own properties, binary input, the open, the
// buffers cleared.
inline const std::vector<std::string> kDownloadPortOpened = {
    "CommPort 3",  "Settings 19200,N,8,1", "InBufferSize 2048", "OutBufferSize 256",
    "InputMode 1", "PortOpen true",        "InBufferCount 0",   "OutBufferCount 0"};

// The rows of the stored record as the statements carry them.
inline std::string insertRow(const std::string& table, const std::string& values) {
  return "insert into " + table + " values(" + values + ")";
}

}  // namespace solvard::attend::testing
