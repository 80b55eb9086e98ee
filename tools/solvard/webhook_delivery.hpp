#pragma once

#include <functional>
#include <memory>
#include <string>

#include "event_delivery.hpp"

namespace httplib {
class Client;
}

namespace solvard::tool {

// Hands the events of the collector's database to one webhook receiver: each event POSTed as
// its JSON object, in id order, with the header "Idempotency-Key: solvard-event-ID", so that a
// receiver that got an event whose answer was lost takes it once. An event is retried until
// the receiver answers 2xx, waiting 1 s, 2 s, 4 s ... up to 5 min between tries; only then does
// the next go. Where each receiver got to is kept in solvard_deliveries, so a restarted
// service goes on from there; a receiver new to the database starts with the events after the
// newest one it finds.
class WebhookDelivery final : public EventDelivery {
 public:
  WebhookDelivery(std::string database, std::string url,
                  std::function<void(const std::string&)> log);
  ~WebhookDelivery() override;

 private:
  bool connect() override;
  std::optional<std::string> send(const nlohmann::ordered_json& event) override;

  std::unique_ptr<httplib::Client> client_;
  std::string path_;
};

// "http://host:8080/path" taken apart: "http://host:8080" and "/path"; nothing for another text.
struct WebhookTarget {
  std::string origin, path;
};
bool splitWebhookUrl(const std::string& url, WebhookTarget& target);

}  // namespace solvard::tool
