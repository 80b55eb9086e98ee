#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "terminal.hpp"

namespace solvard::simulator {

// An access-control (door-lock) terminal. It acknowledges each command it knows with [machine
// number, 2] and keeps what the command did. A frame whose count byte does not fit its command
// code, or a code it does not know, goes unanswered.
//
// It answers the identity exchange (code 12) with its machine number, then six bytes: one of its
// own and its identity, two digits to a byte. It answers each record prompt (code 1) with a
// status [machine number, 1, 1] followed by the oldest record it holds, or [machine number, 1, 0]
// when it holds none. A record leaves the terminal only when the next prompt acknowledges it; a
// download that stops without prompting again leaves it there.
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
    // The records held, oldest first, ten bytes each. The first has gone out when `recordSent`;
    // it stays until the next prompt acknowledges it.
    std::deque<Bytes> records;
    bool recordSent = false;
    std::vector<Bytes> acknowledged;  // records the host acknowledged, in order
    int prompts = 0;                  // record prompts taken
    int identityQueries = 0;          // identity exchanges taken
  };

  explicit AccessTerminal(uint8_t machine);

  const State& state() const { return state_; }
  // Puts a card on the open list as if a host had, e.g. to see it deleted or cleared.
  void allow(const std::string& card, Window window) { state_.openList[card] = std::move(window); }

  // The identity: ten decimal digits (else std::invalid_argument), or five bytes as they are,
  // so that a half above 9 can be sent.
  void setIdentity(const std::string& tenDigits);
  void setIdentityBytes(const Bytes& five);
  // Byte 0 of the second piece, which the host does not read.
  void setIdentityFiller(uint8_t filler) { identityFiller_ = filler; }
  // Answers the identity exchange with its machine number only.
  void answerFirstPieceOnly(bool only = true) { firstPieceOnly_ = only; }

  // Stores a record to be downloaded: ten bytes as the terminal sends them (else
  // std::invalid_argument).
  void store(const Bytes& record);

  Bytes handle(std::span<const uint8_t> frame) override;

 private:
  Bytes acknowledge() const { return {machineNumber(), 2}; }

  Bytes answerPrompt();
  Bytes answerIdentity();

  State state_;
  Bytes identity_{0x00, 0x00, 0x00, 0x00, 0x00};
  uint8_t identityFiller_ = 0x00;
  bool firstPieceOnly_ = false;
};

// A record as the terminal keeps it: the ten card digits, then year (two digits), month, day,
// hour and minute, each value packed two digits to a byte. Raises std::invalid_argument when the
// card is not ten digits or a value is not 0 to 99.
Bytes accessRecord(const std::string& card, int year, int month, int day, int hour, int minute);

}  // namespace solvard::simulator
