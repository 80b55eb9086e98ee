#pragma once

#include <optional>
#include <string>
#include <vector>

#include "solvard/kept_records.hpp"

namespace solvard::tool {

// The kept-records file's text. It starts with a header line; each record is one line
// "<machine> <20 hex digits> <identity> <transaction or -> <checksum> <device>", the checksum an
// 8-digit CRC-32 of the line's other fields, so that a line changed by a cut, a disk fault or an
// editor is told from a record. A file written by an earlier release (no header, lines "<machine>
// <20 hex digits> <device>") is still read; its records get the identity that release's rows carry.
inline constexpr const char* kPendingHeader = "solvard kept access records 2";

struct PendingRead {
  std::vector<KeptRecord> records;
  // "line N: what is wrong with it" when any line is not a whole record: then `records` must not
  // be trusted to be every record kept, and nothing may be prompted or written over.
  std::optional<std::string> damage;
};

// Blank lines are skipped and a CR before a line's end is allowed (the checksum still proves
// the record); anything else that is not a whole record is damage.
PendingRead readPendingText(const std::string& text);
// Every record as a line after the header; a record that cannot stand as one line (a device
// with a line break, not ten bytes, an identity that is not one word) is refused beforehand by
// `pendingLineProblem`.
std::string writePendingText(const std::vector<KeptRecord>& records);
// Why `record` could not be written as a line of the file; empty when it can.
std::string pendingLineProblem(const KeptRecord& record);

}  // namespace solvard::tool
