#include "ui/notice_messages.hpp"

#include "ui/messages.hpp"

namespace solvard::ui {

int32_t messageNumber(serial::Notice notice) {
  using serial::Notice;
  switch (notice) {
    case Notice::no_acknowledgement: return msg::kNoAcknowledgement;
    case Notice::wrong_machine: return msg::kWrongMachine;
    case Notice::port_cannot_open: return msg::kPortCannotOpen;
    case Notice::reply_incomplete: return msg::kReplyIncomplete;
    case Notice::unexpected_reply: return msg::kUnexpectedReply;
    case Notice::no_records: return msg::kNoRecords;
    case Notice::record_incomplete: return msg::kRecordIncomplete;
    case Notice::bad_end_mark: return msg::kBadEndMark;
  }
  return msg::kUnexpectedReply;
}

}  // namespace solvard::ui
