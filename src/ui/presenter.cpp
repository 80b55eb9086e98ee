#include "ui/presenter.hpp"

#include <iostream>
#include <mutex>
#include <ostream>

namespace solvard::ui {

namespace {

struct PresenterSlot {
  std::mutex mutex;
  Presenter presenter = presentOnStandardError;
};

PresenterSlot& slot() {
  static PresenterSlot instance;
  return instance;
}

}  // namespace

Presenter setPresenter(Presenter presenter) {
  auto& s = slot();
  std::lock_guard lock(s.mutex);
  Presenter previous = std::move(s.presenter);
  s.presenter = presenter ? std::move(presenter) : Presenter(presentOnStandardError);
  return previous;
}

Choice present(const MessageBoxView& view) {
  Presenter current;
  {
    auto& s = slot();
    std::lock_guard lock(s.mutex);
    current = s.presenter;
  }
  // Called outside the lock: a presenter may run the host's loop, which may show a message.
  return current(view);
}

Choice presentAsLine(std::ostream& out, const MessageBoxView& view) {
  std::string line = view.title + ": ";
  for (std::size_t i = 0; i < view.text.size(); ++i) {
    const char c = view.text[i];
    if (c == '\r' && i + 1 < view.text.size() && view.text[i + 1] == '\n') continue;
    line += (c == '\r' || c == '\n') ? ' ' : c;
  }
  line += '\n';
  // One write, so that a message never interleaves with other output mid-line.
  out << line << std::flush;
  return Choice::Command1;
}

Choice presentOnStandardError(const MessageBoxView& view) { return presentAsLine(std::cerr, view); }

}  // namespace solvard::ui
