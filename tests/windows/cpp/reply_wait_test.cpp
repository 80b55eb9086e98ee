// A command run through the COM object, end to end into a port double: the frame written, the
// result the host gets, the operator messages reported, and the host's messages dispatched while
// the reply is awaited. The clock is virtual, so a silent terminal's timeout costs no real time.

#include <oaidl.h>
#include <windows.h>

#include <memory>
#include <utility>
#include <vector>

#include "automation/error.hpp"
#include "check.hpp"
#include "component/identifiers.hpp"
#include "component/library_line.hpp"
#include "dispatch_client.hpp"
#include "serial/clock.hpp"
#include "serial/line_state.hpp"
#include "serial/port_control.hpp"
#include "serial/shared_port.hpp"
#include "windows/class_factory.hpp"
#include "windows/guid.hpp"

namespace serial = solvard::serial;
namespace component = solvard::component;
using serial::Bytes;

namespace {

// A terminal on a line: what the library writes is kept, the reply comes after a frame.
class TerminalDouble final : public serial::PortControl {
 public:
  TerminalDouble(serial::ManualClock& clock, Bytes reply, bool refuseOpen)
      : clock_(clock), reply_(std::move(reply)), refuseOpen_(refuseOpen) {}

  bool PortOpen() const override { return open_; }
  void PortOpen(bool open) override {
    if (open && refuseOpen_)
      throw solvard::automation::AutomationError(8002, "Invalid port number");
    open_ = open;
  }
  void CommPort(int16_t) override {}
  void Settings(const std::string&) override {}
  void InBufferSize(int16_t) override {}
  void OutBufferSize(int16_t) override {}
  void InputMode(int16_t) override {}
  int InBufferCount() override { return static_cast<int>(pending_.size()); }
  void InBufferCount(int) override { pending_.clear(); }
  void OutBufferCount(int) override {}
  void InputLen(int) override {}
  Bytes Input() override { return std::exchange(pending_, {}); }
  void Output(std::span<const uint8_t> bytes) override {
    written.insert(written.end(), bytes.begin(), bytes.end());
    pending_ = reply_;
  }
  void waitForInput(std::chrono::milliseconds limit) override { clock_.advance(limit); }

  Bytes written;

 private:
  serial::ManualClock& clock_;
  Bytes reply_;
  bool refuseOpen_;
  bool open_ = false;
  Bytes pending_;
};

int g_dispatched = 0;
LRESULT CALLBACK countingWindow(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_APP) ++g_dispatched;
  return DefWindowProcW(window, message, wp, lp);
}

HWND messageWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = countingWindow;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"SolvardReplyWaitTest";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         wc.hInstance, nullptr);
}

}  // namespace

int main() {
  using namespace solvard::test;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  serial::ManualClock clock;
  std::vector<int32_t> reports;
  component::LibraryHooks& hooks = component::libraryHooks();
  hooks.clock = &clock;
  hooks.reporter = [&](int32_t number) { reports.push_back(number); };

  IDispatch* object = nullptr;
  IClassFactory* factory = nullptr;
  const GUID prohibit = solvard::windows::guidOf(solvard::component::ids::kProhibitClass);
  CHECK_EQ(solvard::windows::getClassObject(prohibit, IID_IClassFactory,
                                            reinterpret_cast<void**>(&factory)),
           S_OK);
  if (factory != nullptr) {
    CHECK_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)),
             S_OK);
    factory->Release();
  }
  HWND window = messageWindow();
  CHECK(window != nullptr);

  struct Row {
    const char* name;
    Bytes reply;
    bool refuseOpen;
    VARIANT_BOOL expected;
    Bytes written;
    std::vector<int32_t> reports;
    // Of the three messages posted before the call: every reply wait gives the loop a turn,
    // a command that never gets to wait gives none.
    int dispatched;
  };
  const Row rows[] = {
      {"acknowledged", {3, 2}, false, VARIANT_TRUE, {3, 0x11}, {}, 3},
      {"wrong reply", {3, 9}, false, VARIANT_FALSE, {3, 0x11}, {}, 3},
      {"silent terminal", {}, false, VARIANT_FALSE, {3, 0x11}, {}, 3},
      {"port refused", {}, true, VARIANT_FALSE, {}, {61206}, 0},
  };
  for (const Row& row : rows) {
    if (object == nullptr) break;
    auto port = std::make_unique<TerminalDouble>(clock, row.reply, row.refuseOpen);
    TerminalDouble* terminal = port.get();
    component::replaceSharedPort(std::move(port));
    reports.clear();
    g_dispatched = 0;
    for (int i = 0; i < 3; ++i) PostMessageW(window, WM_APP, 0, 0);

    CallOutcome out;
    method(object, L"OpenLock", {i2(3)}, out);
    CHECK_EQ_AT(out.hr, S_OK, row.name);
    CHECK_EQ_AT(V_VT(&out.result), static_cast<VARTYPE>(VT_BOOL), row.name);
    CHECK_EQ_AT(V_BOOL(&out.result), row.expected, row.name);
    CHECK_EQ_AT(terminal->written == row.written, true, row.name);
    CHECK_EQ_AT(reports == row.reports, true, row.name);
    CHECK_EQ_AT(g_dispatched, row.dispatched, row.name);
    MSG leftover;
    while (PeekMessageW(&leftover, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&leftover);
  }
  if (object != nullptr) object->Release();

  // An attendance command works on copies: the caller's by-reference variable is never written,
  // not even in the 16-bit form the member received it in.
  IDispatch* attend = nullptr;
  const GUID attendClass = solvard::windows::guidOf(solvard::component::ids::kAttendClass);
  CHECK_EQ(solvard::windows::getClassObject(attendClass, IID_IClassFactory,
                                            reinterpret_cast<void**>(&factory)),
           S_OK);
  if (factory != nullptr) {
    CHECK_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&attend)),
             S_OK);
    factory->Release();
  }
  if (attend != nullptr) {
    auto port = std::make_unique<TerminalDouble>(clock, Bytes{1}, false);
    TerminalDouble* terminal = port.get();
    component::replaceSharedPort(std::move(port));
    reports.clear();
    VARIANT funcId = r8(2.75);
    CallOutcome out;
    method(attend, L"ClearListInMac", {i2(1), byRef(&funcId)}, out);
    CHECK_EQ(out.hr, S_OK);
    CHECK_EQ(V_VT(&out.result), static_cast<VARTYPE>(VT_I4));
    CHECK_EQ(V_I4(&out.result), 1);
    CHECK(terminal->written == (Bytes{1, 2, 0x0C}));
    CHECK(reports.empty());
    CHECK_EQ(V_VT(&funcId), static_cast<VARTYPE>(VT_R8));
    CHECK_EQ(V_R8(&funcId), 2.75);
    attend->Release();
  }
  component::replaceSharedPort(nullptr);
  hooks.clock = nullptr;
  hooks.reporter = nullptr;
  DestroyWindow(window);
  CoUninitialize();
  return finish("reply_wait_test");
}
