#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "terminal.hpp"

namespace solvard::simulator {

// An attendance (time-clock) terminal. It acknowledges each short command with its machine
// number and keeps what the command did; it answers the card-number query with its machine
// number, two bytes of its own and the original card number as five digit pairs. A frame whose
// length does not fit its command code, or a code it does not know, goes unanswered.
//
// The record download (code 1) belongs to a terminal that holds records: a kind derived from
// this one answers it and hands every other frame back to `handle` here.
class AttendTerminal : public Terminal {
 public:
  // What the commands left behind, as the host is to read it back. Digits are kept as the
  // frames carried them, half-byte by half-byte, so a half that is not a decimal digit shows
  // (as a hexadecimal letter) instead of being taken for another number.
  struct State {
    int recordsCleared = 0;                          // clear-records commands taken
    int cardListCleared = 0;                         // clear-card-list commands taken
    std::vector<std::string> deletedCards;           // six digits each, in the order deleted
    std::map<std::string, std::string> flowNumbers;  // original (ten digits) -> flow (six)
    std::string date;                                // "yy-MM-dd" as last set, empty until set
    std::string time;                                // "HH:mm:ss" as last set, empty until set
  };

  explicit AttendTerminal(uint8_t machine, std::string originalCardNo = "0000000000");

  const State& state() const { return state_; }
  // The card the query reports: ten decimal digits, else std::invalid_argument.
  void setOriginalCardNo(const std::string& tenDigits);
  // The two bytes after the machine number in the card-number reply, which the host ignores.
  void setQueryFiller(uint8_t first, uint8_t second) { filler_ = {first, second}; }

  Bytes handle(std::span<const uint8_t> frame) override;

 private:
  Bytes acknowledge() const { return {machineNumber()}; }

  State state_;
  Bytes originalCardNo_;  // five digit pairs
  Bytes filler_{0x00, 0x00};
};

// The digits of packed-decimal bytes, the high half first: 0x12 0x34 give "1234".
std::string packedDigits(std::span<const uint8_t> bytes);

}  // namespace solvard::simulator
