#include <stdexcept>
#include <string>
#include <vector>

#include "component/library_line.hpp"
#include "download_fixture.hpp"
#include "ui/presenter.hpp"

namespace solvard::attend::testing {
namespace {

// A download whose message cannot be shown keeps going: the record with the spoiled end mark is
// dropped as always, the records around it are written and committed, and the log tells which
// message was lost.
TEST_F(DownloadTest, AMessageThatCannotBeShownLeavesTheDownloadToFinish) {
  component::libraryHooks().reporter =
      nullptr;  // through the library's box and the host's presenter
  ui::ScopedPresenter failing(
      [](const ui::MessageBoxView&) -> ui::Choice { throw std::runtime_error("no display"); });
  Bytes spoiled = storedRecord(0x00, 0x00, 0x07, 0x08, 0x45);
  spoiled.back() = 0x55;
  port->answerNextFrame({{0ms, downloadReply(3, 3,
                                             {storedRecord(0x12, 0x34, 0x56, 0x07, 0x30), spoiled,
                                              storedRecord(0x00, 0x00, 0x07, 0x08, 0x45),
                                              storedRecord(0x65, 0x43, 0x21, 0x09, 0x00)})}});

  EXPECT_EQ(object.GetMacData(3), 3);

  std::vector<std::string> rows;
  for (const std::string& statement : database->committed()) {
    if (statement.starts_with("insert into WorkCardSource")) rows.push_back(statement);
  }
  EXPECT_EQ(rows, (std::vector<std::string>{
                      insertRow("WorkCardSource", "'3','123456','2001-05-07','08:30:00'"),
                      insertRow("WorkCardSource", "'3','000007','2001-05-08','08:45:00'"),
                      insertRow("WorkCardSource", "'3','654321','2001-05-09','08:00:00'")}));
  EXPECT_EQ(database->log().back(), "CommitTrans");
  EXPECT_EQ(logged, (std::vector<std::string>{"message 61211 could not be shown (no display)"}));
}

}  // namespace
}  // namespace solvard::attend::testing
