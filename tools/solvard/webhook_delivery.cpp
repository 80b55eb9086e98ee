#include "webhook_delivery.hpp"

#include <httplib.h>

namespace solvard::tool {
bool splitWebhookUrl(const std::string& url, WebhookTarget& target) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string::npos) return false;
  const std::size_t slash = url.find('/', scheme + 3);
  target.origin = url.substr(0, slash);
  target.path = slash == std::string::npos ? "/" : url.substr(slash);
  return target.origin.size() > scheme + 3;
}

WebhookDelivery::WebhookDelivery(std::string database, std::string url,
                                 std::function<void(const std::string&)> log)
    : EventDelivery("webhook", std::move(database), std::move(url), std::move(log)) {
  start();
}

WebhookDelivery::~WebhookDelivery() { finish(); }

bool WebhookDelivery::connect() {
  WebhookTarget target;
  if (!splitWebhookUrl(target_, target)) return false;
  client_ = std::make_unique<httplib::Client>(target.origin);
  client_->set_connection_timeout(5, 0);
  client_->set_read_timeout(10, 0);
  client_->set_write_timeout(10, 0);
  path_ = target.path;
  return true;
}

std::optional<std::string> WebhookDelivery::send(const nlohmann::ordered_json& event) {
  const auto answer =
      client_->Post(path_, {{"Idempotency-Key", "solvard-event-" + event["id"].dump()}},
                    event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace),
                    "application/json");
  if (!answer) return httplib::to_string(answer.error());
  if (answer->status < 200 || answer->status > 299)
    return "status " + std::to_string(answer->status);
  return std::nullopt;
}

}  // namespace solvard::tool
