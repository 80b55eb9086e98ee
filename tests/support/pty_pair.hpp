#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace solvard::testing {

// A fresh pseudo-terminal pair: the library's port opens `path()`, the test plays the far end
// of the line on `farEnd()`.
class PtyPair {
 public:
  PtyPair() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return;
    }
    path_ = ::ptsname(master_);
  }
  ~PtyPair() {
    if (master_ >= 0) ::close(master_);
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& path() const { return path_; }
  int farEnd() const { return master_; }

 private:
  int master_;
  std::string path_;
};

}  // namespace solvard::testing
