// Downloads the attendance records of terminal 1 on the line named by the first argument and
// prints how many the terminal gave, after checking that every one was handed over, from that
// terminal, with a six-digit card, a date and a time.
#include <iostream>
#include <solvard/solvard.hpp>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: consumer LINE\n";
    return 2;
  }
  auto line = solvard::Line::make(solvard::Device::path(argv[1]), solvard::LineSettings{9600});
  if (!line) {
    std::cerr << line.error().message() << "\n";
    return 1;
  }
  auto machine = solvard::MachineNumber::make(1);
  if (!machine) {
    std::cerr << machine.error().message() << "\n";
    return 1;
  }
  solvard::AttendTerminal terminal(line.value(), machine.value());
  std::vector<solvard::AttendanceRecord> got;
  auto summary = terminal.download([&](const solvard::AttendanceRecord& r) { got.push_back(r); });
  if (!summary) {
    std::cerr << summary.error().message() << "\n";
    return 1;
  }
  if (got.size() != static_cast<size_t>(summary->records)) {
    std::cerr << "handed over " << got.size() << " records, reported " << summary->records << "\n";
    return 1;
  }
  for (const solvard::AttendanceRecord& r : got) {
    if (!(r.machine == machine.value()) || r.card.size() != 6 || r.date.size() != 10 ||
        r.time.size() != 8) {
      std::cerr << "record out of shape: " << r.card << " " << r.date << " " << r.time << "\n";
      return 1;
    }
  }
  std::cout << summary->records << "\n";
  return 0;
}
