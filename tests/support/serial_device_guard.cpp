// Every test program links this file. It takes the C library's open calls (open, openat,
// fopen and their large-file and checked forms) ahead of the C library, so that a test that
// reaches for a real serial device, by name, through a symbolic link, or as another node of
// the same device, is refused (EACCES) and fails, before a byte can go out on a wired line.

// The checked wrappers of a fortified build would define `open` inline in this file too.
#undef _FORTIFY_SOURCE

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/serial_device_names.hpp"

namespace solvard::testing {
namespace {

// The character devices of serial lines: 8250/16550 ports (ttyS, major 4 from minor 64 on; the
// minors below are virtual consoles), USB serial adapters (ttyUSB), USB modems (ttyACM) and the
// low-density serial ports of boards (ttyAMA and the like).
bool isSerialDeviceNumber(const struct stat& node) {
  if (!S_ISCHR(node.st_mode)) return false;
  const unsigned major = ::major(node.st_rdev);
  const unsigned minor = ::minor(node.st_rdev);
  return (major == 4 && minor >= 64) || major == 188 || major == 166 || major == 204;
}

// The name a path ends at once every symbolic link is followed, also when the target does not
// exist (a link to a device this machine lacks still names it).
std::string resolvedName(int dirfd, const char* path) {
  std::string name = path;
  if (name.empty()) return name;
  if (name.front() != '/' && dirfd != AT_FDCWD) {
    char dir[PATH_MAX];
    const std::string fdLink = "/proc/self/fd/" + std::to_string(dirfd);
    const ssize_t n = ::readlink(fdLink.c_str(), dir, sizeof dir - 1);
    if (n > 0) name = std::string(dir, static_cast<std::size_t>(n)) + "/" + name;
  }
  for (int hops = 0; hops < 40; ++hops) {
    char full[PATH_MAX];
    if (::realpath(name.c_str(), full) != nullptr) return full;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(name.c_str(), target, sizeof target - 1);
    if (n <= 0) return name;
    std::string next(target, static_cast<std::size_t>(n));
    if (next.front() != '/') {
      const std::size_t slash = name.rfind('/');
      next = (slash == std::string::npos ? std::string() : name.substr(0, slash + 1)) + next;
    }
    name = next;
  }
  return name;
}

// Set while the guard itself runs, so that what the check and the failure report open is let
// through.
thread_local bool guarding = false;

// Whether the open of `path` must be refused; records the test's failure when it must.
bool refuses(int dirfd, const char* path) {
  if (guarding || path == nullptr) return false;
  guarding = true;
  const std::string resolved = resolvedName(dirfd, path);
  struct stat node {};
  const bool refused = isSerialDeviceName(path) || isSerialDeviceName(resolved) ||
                       (::fstatat(dirfd, path, &node, 0) == 0 && isSerialDeviceNumber(node));
  if (refused) {
    ADD_FAILURE() << "a test opened the real serial device " << path
                  << (resolved != path ? " (" + resolved + ")" : std::string())
                  << "; tests use a pseudo-terminal or the scripted port";
  }
  guarding = false;
  return refused;
}

// The C library's own function of that name, the next one after this program's.
template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

int refusedDescriptor() {
  errno = EACCES;
  return -1;
}

FILE* refusedStream() {
  errno = EACCES;
  return nullptr;
}

bool needsMode(int flags) { return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE; }

using OpenFn = int (*)(const char*, int, ...);
using OpenAtFn = int (*)(int, const char*, int, ...);
using CheckedOpenFn = int (*)(const char*, int);
using CheckedOpenAtFn = int (*)(int, const char*, int);
using FopenFn = FILE* (*)(const char*, const char*);

}  // namespace
}  // namespace solvard::testing

using solvard::testing::refuses;

#define SOLVARD_TAKE_MODE(flags, mode)      \
  mode_t mode = 0;                          \
  if (solvard::testing::needsMode(flags)) { \
    va_list rest;                           \
    va_start(rest, flags);                  \
    mode = va_arg(rest, mode_t);            \
    va_end(rest);                           \
  }

extern "C" {

int __open_2(const char* path, int flags);
int __open64_2(const char* path, int flags);
int __openat_2(int dirfd, const char* path, int flags);
int __openat64_2(int dirfd, const char* path, int flags);

int open(const char* path, int flags, ...) {
  SOLVARD_TAKE_MODE(flags, mode)
  if (refuses(AT_FDCWD, path)) return solvard::testing::refusedDescriptor();
  static const auto real = solvard::testing::next<solvard::testing::OpenFn>("open");
  return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  SOLVARD_TAKE_MODE(flags, mode)
  if (refuses(AT_FDCWD, path)) return solvard::testing::refusedDescriptor();
  static const auto real = solvard::testing::next<solvard::testing::OpenFn>("open64");
  return real(path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
  SOLVARD_TAKE_MODE(flags, mode)
  if (refuses(dirfd, path)) return solvard::testing::refusedDescriptor();
  static const auto real = solvard::testing::next<solvard::testing::OpenAtFn>("openat");
  return real(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
  SOLVARD_TAKE_MODE(flags, mode)
  if (refuses(dirfd, path)) return solvard::testing::refusedDescriptor();
  static const auto real = solvard::testing::next<solvard::testing::OpenAtFn>("openat64");
  return real(dirfd, path, flags, mode);
}

int __open_2(const char* path, int flags) {
  if (refuses(AT_FDCWD, path)) return solvard::testing::refusedDescriptor();
  static const auto real = solvard::testing::next<solvard::testing::CheckedOpenFn>("__open_2");
  return real(path, flags);
}

int __open64_2(const char* path, int flags) {
  if (refuses(AT_FDCWD, path)) return solvard::testing::refusedDescriptor();
  static const auto real = solvard::testing::next<solvard::testing::CheckedOpenFn>("__open64_2");
  return real(path, flags);
}

int __openat_2(int dirfd, const char* path, int flags) {
  if (refuses(dirfd, path)) return solvard::testing::refusedDescriptor();
  static const auto real = solvard::testing::next<solvard::testing::CheckedOpenAtFn>("__openat_2");
  return real(dirfd, path, flags);
}

int __openat64_2(int dirfd, const char* path, int flags) {
  if (refuses(dirfd, path)) return solvard::testing::refusedDescriptor();
  static const auto real =
      solvard::testing::next<solvard::testing::CheckedOpenAtFn>("__openat64_2");
  return real(dirfd, path, flags);
}

FILE* fopen(const char* path, const char* mode) {
  if (refuses(AT_FDCWD, path)) return solvard::testing::refusedStream();
  static const auto real = solvard::testing::next<solvard::testing::FopenFn>("fopen");
  return real(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
  if (refuses(AT_FDCWD, path)) return solvard::testing::refusedStream();
  static const auto real = solvard::testing::next<solvard::testing::FopenFn>("fopen64");
  return real(path, mode);
}

}  // extern "C"
