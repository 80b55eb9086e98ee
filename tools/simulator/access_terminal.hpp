#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>

#include "terminal.hpp"

namespace solvard::simulator {

// An access-control (door-lock) terminal. It acknowledges each command it knows with [machine
// number, 2] and keeps what the command did. A frame whose count byte does not fit its command
// code, or a code it does not know, goes unanswered.
//
// The record prompt (code 1) and the identity exchange (code 12) belong to terminals that hold
// records and an identity: a kind derived from this one answers them and hands every other frame
// back to `handle` here.
class AccessTerminal : public Terminal {
 public:
  // One card's validity window as the open-list frame carried it. Dates read "yy-MM-dd" and
  // times "HH:mm"; every digit is kept half-byte by half-byte, so a half that is not a decimal
  // digit shows (as a hexadecimal letter) instead of being taken for another number.
  struct Window {
    std::string firstDay;
    std::string lastDay;
    std::string firstTime;
    std::string lastTime;
    int startWeekday = 0;
    int endWeekday = 0;

    friend bool operator==(const Window&, const Window&) = default;
  };

  // What the commands left behind, as the host is to read it back.
  struct State {
    int lockMode = -1;                       // as last set, -1 until set
    int resetDelay = -1;                     // as last set, -1 until set
    int lockOpened = 0;                      // open-lock commands taken
    int lockStateQueries = 0;                // lock-state commands taken
    int lockOpenStateSet = 0;                // open-state commands taken
    int openRecordsCleared = 0;              // clear-open-record commands taken
    int openListCleared = 0;                 // clear-open-list commands taken
    std::string date;                        // "yy-MM-dd" as last set, empty until set
    int weekday = -1;                        // high half of the weekday byte, -1 until set
    std::string time;                        // "HH:mm:ss" as last set, empty until set
    std::map<std::string, Window> openList;  // card (ten digits) -> window
  };

  explicit AccessTerminal(uint8_t machine);

  const State& state() const { return state_; }
  // Puts a card on the open list as if a host had, e.g. to see it deleted or cleared.
  void allow(const std::string& card, Window window) { state_.openList[card] = std::move(window); }

  Bytes handle(std::span<const uint8_t> frame) override;

 private:
  Bytes acknowledge() const { return {machineNumber(), 2}; }

  State state_;
};

}  // namespace solvard::simulator
