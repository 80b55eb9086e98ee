// The kept-records file's text, as a disk fault, a cut, an editor or another user may leave it.
// Whatever it holds, reading it either names the damaged line or gives records that, written
// back, read again as the same records: a record is never half-read, and nothing the file holds
// becomes a line that would split or change another.

#include <cstddef>
#include <cstdint>
#include <string>

#include "pending_text.hpp"

namespace {

[[noreturn]] void broken() { __builtin_trap(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const solvard::tool::PendingRead read = solvard::tool::readPendingText(text);
  if (read.damage) {
    if (read.damage->rfind("line ", 0) != 0) broken();
    return 0;
  }
  for (const auto& record : read.records) {
    if (record.record.size() != 10 || record.line.empty() || record.occurrence.empty()) broken();
    if (!solvard::tool::pendingLineProblem(record).empty()) broken();
  }
  const std::string written = solvard::tool::writePendingText(read.records);
  const solvard::tool::PendingRead again = solvard::tool::readPendingText(written);
  if (again.damage || again.records != read.records) broken();
  return 0;
}
