// LoadLanString on Windows: LoadStringA on the module GetLanRes selects, under Wine. The program's
// own strings (host_strings.rc) are what handle 0 reads; Solvard.en.dll sits beside it.

#include <windows.h>

#include <cstdint>
#include <string>

#include "automation/variant.hpp"
#include "check.hpp"
#include "ui/lan_res.hpp"
#include "ui/messages.hpp"
#include "windows/lan_module.hpp"

namespace {

int32_t asValue(HMODULE module) {
  return static_cast<int32_t>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module)));
}

std::string lookup(int32_t handle, int32_t id) {
  solvard::ui::setLanResHandle(solvard::automation::Variant(handle));
  return solvard::ui::LoadLanString(id);
}

}  // namespace

int main() {
  using solvard::test::failureCount;
  solvard::windows::installModuleStrings();

  std::string digits;
  for (int i = 0; i < 30; ++i) digits += "0123456789";
  const std::string cut = digits.substr(0, 254);
  const std::string portText =
      "The serial port cannot be opened. Check the port number, that the port exists and that no "
      "other program is using it.";

  HMODULE data = LoadLibraryExW(L"Solvard.en.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  CHECK(data != nullptr);
  HMODULE self = GetModuleHandleW(nullptr);

  struct Row {
    const char* name;
    int32_t handle;
    int32_t id;
    std::string expected;
  };
  const Row rows[] = {
      {"handle 0, the program's own string", 0, 7002, "the host's own text"},
      {"handle 0, 300 characters cut to 254", 0, 7001, cut},
      {"handle 0, missing id", 0, 7999, ""},
      {"id beyond 16 bits", 0, 0x10000 + 7002, ""},
      {"the program's handle as its low 32 bits", asValue(self), 7002, "the host's own text"},
      {"data-file module", asValue(data), solvard::ui::msg::kPortCannotOpen, portText},
      {"data-file module, font name", asValue(data), 1, "MS Sans Serif"},
      {"data-file module, missing id", asValue(data), 2, ""},
      {"a value that names no module", 0x12340000, 7002, ""},
      {"an odd value that names no module", 0x7FFF0001, 7002, ""},
  };
  for (const Row& row : rows) CHECK_EQ_AT(lookup(row.handle, row.id), row.expected, row.name);

  // A module whose handle lies above 4 GB and is not in the module list (an image-resource
  // load) cannot be named by a 32-bit value: its strings are not found, and nothing is read.
  HMODULE image = LoadLibraryExW(L"Solvard.en.dll", nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (image != nullptr && reinterpret_cast<uintptr_t>(image) > 0xFFFFFFFFu) {
    CHECK_EQ_AT(lookup(asValue(image), 61206), std::string(), "image resource above 4 GB");
    std::printf("image-resource load at %p checked\n", static_cast<void*>(image));
  }
  if (image != nullptr) FreeLibrary(image);
  if (data != nullptr) FreeLibrary(data);
  std::printf("program at %p, data file at %p\n", static_cast<void*>(self),
              static_cast<void*>(data));
  return failureCount() == 0 ? 0 : 1;
}
