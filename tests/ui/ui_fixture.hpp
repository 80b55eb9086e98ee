#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ui/lan_res.hpp"
#include "ui/language_modules.hpp"
#include "ui/presenter.hpp"

namespace solvard::ui::testing {

// Answers every showing with a scripted choice and keeps what it was shown.
class RecordingPresenter {
 public:
  explicit RecordingPresenter(Choice answer = Choice::Command1) : answer(answer) {}

  Choice answer;
  std::vector<MessageBoxView> views;

 private:
  ScopedPresenter guard_{[this](const MessageBoxView& view) {
    views.push_back(view);
    return answer;
  }};
};

// The string lookup is library-wide: every test starts on the host's own table, empty.
class UiTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }

  static void reset() {
    setLanResHandle(automation::Variant(int32_t{0}));
    setHostStringTable({});
  }
};

// A file in the temporary folder, removed with the object. CTest runs each test in a process
// of its own, so the test's name keeps parallel runs apart.
class TempFile {
 public:
  explicit TempFile(const std::string& content)
      : path_(std::filesystem::temp_directory_path() /
              ("solvard-ui-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
               ".rc")) {
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace solvard::ui::testing
