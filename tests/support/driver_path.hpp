#pragma once

#include <filesystem>
#include <string>

namespace solvard::testing {

// A file's path as the ODBC driver must be given it in a connection text. On Linux and on
// Windows, the path itself (UTF-8). Under Wine the driver is a Linux one behind the driver
// manager (odbc32 hands the text to unixODBC), which takes a Windows path for a file name of its
// own in its working folder, so it is given the Unix path of the same file.
std::string driverPath(const std::filesystem::path& path);

// Whether the program runs under Wine.
bool underWine();

}  // namespace solvard::testing
