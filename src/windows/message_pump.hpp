#pragma once

namespace solvard::windows {

// Every reply wait gives the host's message loop a turn, so a window or a script host stays
// alive while a terminal is slow to answer. Installed on the library's line when the first
// object is created (not at load: DllMain must stay light), unless a pump is already there.
void installMessagePump();

// One turn: dispatches every message waiting for the calling thread. A WM_QUIT is posted again
// for the host's own loop to see.
void pumpPendingMessages();

}  // namespace solvard::windows
