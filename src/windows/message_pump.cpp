#include "windows/message_pump.hpp"

#include <windows.h>

#include <mutex>

#include "component/library_line.hpp"

namespace solvard::windows {

void pumpPendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void installMessagePump() {
  static std::once_flag once;
  std::call_once(once, [] {
    component::LibraryHooks& hooks = component::libraryHooks();
    if (!hooks.pump) hooks.pump = pumpPendingMessages;
  });
}

}  // namespace solvard::windows
