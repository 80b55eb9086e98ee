#pragma once

#include <functional>
#include <map>
#include <mutex>

#include "terminal.hpp"

namespace solvard::simulator {

// A terminal that answers as a test tells it: a reply per command code, else the plain
// acknowledgement of its kind ([machine, 2] for access control, [machine] for attendance).
class ScriptedTerminal final : public Terminal {
 public:
  using Handler = std::function<Bytes(std::span<const uint8_t> frame)>;

  ScriptedTerminal(TerminalKind kind, uint8_t machine) : Terminal(kind, machine) {}

  void replyTo(uint8_t commandCode, Bytes reply);
  // Answers every frame through `handler`, before any per-code reply.
  void setHandler(Handler handler);

  // The command code of a frame: byte 1 for access control, byte 2 for attendance.
  uint8_t commandCode(std::span<const uint8_t> frame) const;

  Bytes handle(std::span<const uint8_t> frame) override;

 private:
  std::mutex mutex_;
  std::map<uint8_t, Bytes> replies_;
  Handler handler_;
};

}  // namespace solvard::simulator
