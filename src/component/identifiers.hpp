#pragma once

#include <string_view>

namespace solvard::component::ids {

// Generated once for the library and never changed: hosts bind to them.
inline constexpr std::string_view kTypeLibrary = "{E7748ED4-D596-4FA5-A941-B8FB4ADD206A}";
inline constexpr std::string_view kTypeLibraryVersion = "19.1";
inline constexpr unsigned kTypeLibraryLocale = 0x409;

inline constexpr std::string_view kAttendInterface = "{58362A58-E5B5-47BC-99F0-BEC5581F83FF}";
inline constexpr std::string_view kAttendClass = "{64AA5C7A-165D-4575-99EF-32FD9329C2FE}";
inline constexpr std::string_view kProhibitInterface = "{04641155-034D-47AC-802A-A92EBF5CDBB3}";
inline constexpr std::string_view kProhibitClass = "{0B9979F0-A7FA-4847-9885-F3B451383B5D}";
// The identifier under which `_Prohibit` was first published (alias `Prohibit___v0`); a
// `Prohibit` object answers for it too.
inline constexpr std::string_view kProhibitInterfaceV0 = "{06C2CA0C-1803-4C98-85CC-2ECF7DF623AF}";

inline constexpr std::string_view kAttendProgId = "Solvard.Attend";
inline constexpr std::string_view kProhibitProgId = "Solvard.Prohibit";

}  // namespace solvard::component::ids
