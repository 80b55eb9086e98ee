#pragma once

#include <functional>
#include <memory>
#include <span>

#include "serial/port_control.hpp"

namespace solvard::serial {

enum class TraceDirection { sent, received };

// Called with each run of bytes as it goes out or comes in, after the port took or gave them.
using ByteTrace = std::function<void(TraceDirection, std::span<const uint8_t>)>;

// A port that shows every byte it carries to `trace` and otherwise behaves as the port it wraps,
// so an installer can watch the line of a real device as of a simulated one.
class TracingPort final : public PortControl {
 public:
  TracingPort(std::unique_ptr<PortControl> port, ByteTrace trace)
      : port_(std::move(port)), trace_(std::move(trace)) {}

  bool PortOpen() const override { return port_->PortOpen(); }
  void PortOpen(bool open) override { port_->PortOpen(open); }
  void CommPort(int16_t number) override { port_->CommPort(number); }
  void Settings(const std::string& text) override { port_->Settings(text); }
  void InBufferSize(int16_t size) override { port_->InBufferSize(size); }
  void OutBufferSize(int16_t size) override { port_->OutBufferSize(size); }
  void InputMode(int16_t mode) override { port_->InputMode(mode); }
  int InBufferCount() override { return port_->InBufferCount(); }
  void InBufferCount(int count) override { port_->InBufferCount(count); }
  void OutBufferCount(int count) override { port_->OutBufferCount(count); }
  void InputLen(int length) override { port_->InputLen(length); }
  Bytes Input() override;
  void Output(std::span<const uint8_t> bytes) override;
  void waitForInput(std::chrono::milliseconds limit) override { port_->waitForInput(limit); }
  void waitForBytes(std::chrono::milliseconds limit, std::size_t wanted) override {
    port_->waitForBytes(limit, wanted);
  }
  std::optional<OpenFailure> openFailure() const override { return port_->openFailure(); }

 private:
  std::unique_ptr<PortControl> port_;
  ByteTrace trace_;
};

}  // namespace solvard::serial
