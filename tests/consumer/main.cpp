// Downloads the attendance records of terminal 1 on the line named by the first argument and
// prints how many the terminal gave, checking that the records handed over match that count.
#include <solvard/solvard.hpp>

#include <iostream>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: consumer LINE\n";
    return 2;
  }
  solvard::Line line(solvard::Device::path(argv[1]), solvard::LineSettings{9600});
  auto machine = solvard::MachineNumber::make(1);
  if (!machine) {
    std::cerr << machine.error().message() << "\n";
    return 1;
  }
  solvard::AttendTerminal terminal(line, machine.value());
  std::vector<solvard::AttendanceRecord> got;
  auto summary = terminal.download([&](const solvard::AttendanceRecord& r) {
    got.push_back(r);
    return true;
  });
  if (!summary) {
    std::cerr << summary.error().message() << "\n";
    return 1;
  }
  if (got.size() != static_cast<size_t>(summary.value().records)) {
    std::cerr << "handed over " << got.size() << " records, reported " << summary.value().records
              << "\n";
    return 1;
  }
  std::cout << summary.value().records << "\n";
  return 0;
}
