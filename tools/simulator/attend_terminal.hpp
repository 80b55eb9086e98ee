#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "terminal.hpp"

namespace solvard::simulator {

// What goes wrong with one record download, as tests provoke it. Records are counted from 1.
struct DownloadFault {
  enum class Kind {
    ReportsNone,      // the count says 0, whatever is stored; no record follows
    BadEndMark,       // record `record` goes out with another end mark, then again as stored
    ShortRecord,      // record `record` stops after its machine number and `keep` bytes; nothing
                      // follows
    MissingRecord,    // record `record` is left out; the count still includes it
    OtherMachine,     // record `record` goes out behind the machine number `machine`
    CountNeverComes,  // the machine number answers the request, and nothing more
  };
  Kind kind = Kind::ReportsNone;
  int record = 0;
  std::size_t keep = 0;
  uint8_t machine = 0;

  static DownloadFault reportsNone() { return {Kind::ReportsNone}; }
  static DownloadFault badEndMark(int record) { return {Kind::BadEndMark, record}; }
  static DownloadFault shortRecord(int record, std::size_t keep) {
    return {Kind::ShortRecord, record, keep};
  }
  static DownloadFault missingRecord(int record) { return {Kind::MissingRecord, record}; }
  static DownloadFault otherMachine(int record, uint8_t machine) {
    return {Kind::OtherMachine, record, 0, machine};
  }
  static DownloadFault countNeverComes() { return {Kind::CountNeverComes}; }
};

// An attendance (time-clock) terminal. It acknowledges each short command with its machine
// number and keeps what the command did; it answers the card-number query with its machine
// number, two bytes of its own and the original card number as five digit pairs. A frame whose
// length does not fit its command code, or a code it does not know, goes unanswered.
//
// It keeps card records (none at first) and answers the download request (code 1) with its
// machine number and their count, high byte first, then every record behind its machine number,
// in one stream; the records stay stored until the clear-records command. The simulator paces
// the stream at the line rate when it paces replies.
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
    int downloads = 0;                               // download requests answered
  };

  explicit AttendTerminal(uint8_t machine, std::string originalCardNo = "0000000000");

  const State& state() const { return state_; }
  // The card the query reports: ten decimal digits, else std::invalid_argument.
  void setOriginalCardNo(const std::string& tenDigits);
  // The two bytes after the machine number in the card-number reply, which the host ignores.
  void setQueryFiller(uint8_t first, uint8_t second) { filler_ = {first, second}; }

  // The records to keep, each the 9 bytes a download carries after the machine number (the
  // last the end mark 0xAA), at most 65535 of them; else std::invalid_argument.
  void storeRecords(std::vector<Bytes> records);
  const std::vector<Bytes>& records() const { return records_; }
  // Spoils the next download; several faults may spoil the same one.
  void injectDownloadFault(DownloadFault fault) { downloadFaults_.push_back(fault); }

  Bytes handle(std::span<const uint8_t> frame) override;

 private:
  Bytes acknowledge() const { return {machineNumber()}; }
  Bytes downloadReply();

  State state_;
  std::vector<Bytes> records_;
  std::vector<DownloadFault> downloadFaults_;
  Bytes originalCardNo_;  // five digit pairs
  Bytes filler_{0x00, 0x00};
};

// `count` plausible stored records, the same for the same `seed`: a few dozen cards clocking in
// and out on working days from 7 May 2001 on, in the order they were read, each with the end
// mark.
std::vector<Bytes> sampleRecords(int count, uint32_t seed = 1);

// The digits of packed-decimal bytes, the high half first: 0x12 0x34 give "1234".
std::string packedDigits(std::span<const uint8_t> bytes);

}  // namespace solvard::simulator
