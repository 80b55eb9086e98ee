#include "message_recorder.hpp"

#include <memory>
#include <vector>

#include "ui/presenter.hpp"

namespace solvard::tool {

namespace {

std::vector<ui::MessageBoxView>& shown() {
  static std::vector<ui::MessageBoxView> views;
  return views;
}

std::unique_ptr<ui::ScopedPresenter>& installed() {
  static std::unique_ptr<ui::ScopedPresenter> guard;
  return guard;
}

}  // namespace

MessageRecorder::MessageRecorder() {
  shown().clear();
  installed() = std::make_unique<ui::ScopedPresenter>([](const ui::MessageBoxView& view) {
    shown().push_back(view);
    return ui::Choice::Command1;
  });
}

MessageRecorder::~MessageRecorder() { installed().reset(); }

Json MessageRecorder::take() {
  Json::Array list;
  for (const ui::MessageBoxView& v : shown()) {
    list.push_back(Json(Json::Object{{"number", v.number ? Json(v.number) : Json(nullptr)},
                                     {"text", Json(v.text)},
                                     {"title", Json(v.title)},
                                     {"style", Json(v.style)}}));
  }
  shown().clear();
  return Json(std::move(list));
}

}  // namespace solvard::tool
