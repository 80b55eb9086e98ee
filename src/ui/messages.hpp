#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace solvard::ui {

// Every message the drivers show to the operator uses this style (one "OK" button) and title.
inline constexpr int32_t kInformationStyle = 64;
inline constexpr const char* kMessageTitle = "Merovane";

// Message numbers of the library's string table.
namespace msg {
inline constexpr int32_t kNoAcknowledgement = 61204;
inline constexpr int32_t kWrongMachine = 61205;
inline constexpr int32_t kPortCannotOpen = 61206;
inline constexpr int32_t kReplyIncomplete = 61207;
inline constexpr int32_t kUnexpectedReply = 61208;
inline constexpr int32_t kNoRecords = 61209;
inline constexpr int32_t kRecordIncomplete = 61210;
inline constexpr int32_t kBadEndMark = 61211;
}  // namespace msg

// Shows the message box modally through the installed presenter; returns 6 ("OK"),
// 7 ("cancel") or -1 (closed another way). A presenter's failure reaches the caller, who asked
// for the answer.
int16_t ShowMessage(const std::string& text, int32_t style, const std::string& title);

// The text numbered `id` in the selected language module; empty when the module lacks it.
std::string LoadLanString(int32_t id);

// Tells the operator message `number`: its text from the string table, style 64, title
// "Merovane". The answer is not used. It never fails: a message that cannot be shown (the
// presenter failed, or the box is already in front of the operator) is skipped and the library
// log says so, "message <number> could not be shown (<why>)".
void ReportMessage(int32_t number);

// Logs that message `number` could not be shown, and why (the failure's own words).
void logNotShown(int32_t number, const std::exception_ptr& failure);

}  // namespace solvard::ui
