#pragma once

// Every terminal action of the `solvard` command with the sentence it prints when the terminal
// acknowledges, against the simulated terminals 1 (a clock with original card 0012345678) and 3
// (a door with identity 1234567890): the same words and output on a local port and on a line
// behind a device server. "{port}" stands for the line.
#include <string>
#include <vector>

namespace solvard::tool::testing {

struct AcknowledgedAction {
  std::vector<std::string> words;
  std::string out;
};

inline std::vector<AcknowledgedAction> everyAcknowledgedAction() {
  return {
      {{"door", "open", "-m", "3", "-p", "{port}"}, "terminal 3 acknowledged: lock opened\n"},
      {{"door", "state", "--machine=3", "--port={port}"},
       "terminal 3 acknowledged: it answers (the terminal tells no more than that)\n"},
      {{"door", "mode", "-m", "3", "-p", "{port}", "--mode", "255"},
       "terminal 3 acknowledged: lock mode 255\n"},
      {{"door", "delay", "-m", "3", "-p", "{port}", "--seconds=10"},
       "terminal 3 acknowledged: reset delay 10 s\n"},
      {{"door", "unlock-state", "-m", "3", "-p", "{port}"},
       "terminal 3 acknowledged: lock held open\n"},
      {{"door", "time", "-m", "3", "-p", "{port}", "--date", "2001-06-29", "--weekday", "5",
        "--time", "13:05:09"},
       "terminal 3 acknowledged: date 2001-06-29, weekday 5, time 13:05:09\n"},
      {{"door", "allow", "-m", "3", "-p", "{port}", "--card", "12345", "--from", "2001-06-29",
        "--to", "2002-12-31", "--start", "08:30", "--end", "17:45", "--weekdays", "1-5"},
       "terminal 3 acknowledged: card 0000012345 may open from 2001-06-29 to 2002-12-31, 08:30 "
       "to 17:45, weekdays 1 to 5\n"},
      {{"door", "deny", "-m", "3", "-p", "{port}", "--card", "12345"},
       "terminal 3 acknowledged: card 0000012345 taken off the open list\n"},
      {{"door", "clear-list", "-m", "3", "-p", "{port}"},
       "terminal 3 acknowledged: open list emptied\n"},
      {{"door", "clear-records", "-m", "3", "-p", "{port}"},
       "terminal 3 acknowledged: open records cleared\n"},
      {{"door", "id", "-m", "3", "-p", "{port}"}, "terminal 3 identity: 1234567890\n"},
      {{"attend", "clear-records", "-m", "1", "-p", "{port}"},
       "terminal 1 acknowledged: stored records cleared\n"},
      {{"attend", "clear-cards", "-m", "1", "-p", "{port}"},
       "terminal 1 acknowledged: card list cleared\n"},
      {{"attend", "delete-card", "-m", "1", "-p", "{port}", "--card", "1234"},
       "terminal 1 acknowledged: card 001234 deleted\n"},
      {{"attend", "flow", "-m", "1", "-p", "{port}", "--flow", "12", "--original", "12345"},
       "terminal 1 acknowledged: card 0000012345 given flow number 000012\n"},
      {{"attend", "card-number", "-m", "1", "-p", "{port}"},
       "terminal 1: original card number 0012345678\n"},
      {{"clock", "set", "-m", "1", "-p", "{port}", "--date", "2001-06-29", "--time", "09:48:32"},
       "terminal 1 acknowledged: date 2001-06-29, time 09:48:32\n"},
  };
}

}  // namespace solvard::tool::testing
