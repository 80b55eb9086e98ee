#include "event_delivery.hpp"

#include <algorithm>

#include "collect_events.hpp"
#include "db/odbc_connection.hpp"
#include "event_cursor.hpp"

namespace solvard::tool {
namespace {

constexpr auto kPoll = std::chrono::seconds(1);
constexpr auto kFirstRetry = std::chrono::seconds(1);
constexpr auto kLongestRetry = std::chrono::minutes(5);
constexpr int kEventsARead = 100;

}  // namespace

EventDelivery::EventDelivery(std::string kind, std::string database, std::string target,
                             std::function<void(const std::string&)> log)
    : database_(std::move(database)),
      target_(std::move(target)),
      kind_(std::move(kind)),
      log_(std::move(log)) {}

EventDelivery::~EventDelivery() { finish(); }

void EventDelivery::start() {
  thread_ = std::thread([this] { deliver(); });
}

void EventDelivery::finish() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void EventDelivery::wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  wake_.notify_one();
}

bool EventDelivery::pause(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, limit, [this] { return woken_ || ending_; });
  woken_ = false;
  return !ending_;
}

void EventDelivery::tell(const std::string& line) const {
  if (log_) log_("serve: " + kind_ + " " + target_ + ": " + line);
}

void EventDelivery::deliver() {
  if (!connect()) return;
  std::unique_ptr<db::Connection> connection;
  int64_t cursor = -1;  // -1: not read yet on this connection
  std::chrono::milliseconds retry = kFirstRetry;
  for (;;) {
    if (!connection || connection->State() != db::kStateOpen) {
      connection = db::makeOdbcConnection();
      cursor = -1;
      if (connection->Open(database_) != db::Outcome::kOk) {
        tell("the database cannot be read: " + connection->lastDiagnostic().text());
        if (!pause(kLongestRetry / 10)) return;
        continue;
      }
    }
    if (cursor < 0) cursor = readCursor(*connection, target_).value_or(-1);
    const auto events = cursor >= 0 ? readEvents(*connection, cursor, kEventsARead) : std::nullopt;
    if (!events) {
      tell("the events cannot be read: " + connection->lastDiagnostic().text());
      connection.reset();
      if (!pause(kLongestRetry / 10)) return;
      continue;
    }
    bool failed = false;
    for (const auto& event : *events) {
      const int64_t id = event["id"].get<int64_t>();
      if (const auto refused = send(event)) {
        tell("event " + std::to_string(id) + " not taken (" + *refused + "): again in " +
             std::to_string(retry.count() / 1000) + " s");
        failed = true;
        break;
      }
      if (!saveCursor(*connection, target_, id)) {
        // Taken but not noted: the next try hands it over again, and its id tells.
        connection.reset();
        failed = true;
        break;
      }
      cursor = id;
      retry = kFirstRetry;
    }
    if (failed) {
      if (!pause(retry)) return;
      retry = std::min<std::chrono::milliseconds>(retry * 2, kLongestRetry);
      continue;
    }
    if (events->size() == static_cast<std::size_t>(kEventsARead)) continue;
    if (!pause(kPoll)) return;
  }
}

}  // namespace solvard::tool
