// Requests from outside the window to end the program: on Linux the signals
// a desktop session, a service manager and a terminal send (SIGTERM, SIGINT,
// SIGHUP); on Windows the console's Ctrl+C, Ctrl+Break and close events and
// the end of the user's session. Each ends the panel as its close box does,
// so that the line is released (its exclusive flag cleared, its lock let go)
// and the session log is whole. A closed pipe on standard output is no
// request to end: writes to it fail instead (SIGPIPE is ignored), and script
// mode says so and ends as at `quit`.
#pragma once

namespace end_requests {
// Once, before the window: from here on such a request is kept, not fatal.
void Install();
// The exit status the program ends with for the request that came (128 + the
// signal's number, as a shell reports it), 0 when none came.
int Status();
}  // namespace end_requests
