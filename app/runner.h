// The program from start to end, written once for both windows: options,
// COM names, the simulated gimbal, the session log, the window with its
// script and picture, and the order in which it all goes away again. A front
// end (the Qt window on Linux, the Win32 dialog) gives only what is truly
// its own: how it prints, which devices it finds, where the simulated gimbal
// lives, and its window.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "serial/com_base.h"
#include "serial/port_map.h"

class IServer;
class LineReader;
class SessionLog;

// What a window of either front end is run with.
struct WindowSession {
  CComSync& port;
  SessionLog* log;          // null without --log
  const Options& options;   // --script and --screenshot
  std::unique_ptr<LineReader>& script;  // the script's reader, opened already; null without --script
  int& status;              // the program's exit status: 2 when --screenshot could not be written
  const std::vector<std::unique_ptr<IServer>>& servers;  // listening already (--control, --visca-ip)
  const class PadProfiles& pads;  // where each pad's profile is found (--pad-profile read already)
};

class IScriptActions;
class IScheduler;
class FrontEnd;

// What each window gives the part written once for both (RunWindowParts):
// its script actions, its timers, and how it shows, runs and hears a request
// from outside to end (app/end_requests.h).
struct WindowParts {
  IScriptActions& actions;
  IScheduler& scheduler;
  std::function<bool()> startupPolled;
  std::function<void(std::function<void(const std::string&)>)> observeMessages;  // each box's text as it opens
  std::function<void(std::function<void()>)> whenShown;                         // runs it once the window shows
  std::function<void()> run;                                                     // until the window ends
  std::function<void(std::function<void()>)> watchEndRequests;  // runs it in the window's thread at each one
};

// The window's life, the same for both: the script (which waits for the
// start-up traffic by itself), the picture of --screenshot half a second
// after the window shows (taken first if the script quits before then), and
// the end: without a script, the picture taken ends the program. Script
// output goes to standard output; once that is closed, the script's output
// stops (said once) and the panel ends as at `quit`. A request to end from
// outside ends the panel as the close box does, with its exit status.
void RunWindowParts(const WindowSession& session, const WindowParts& parts, FrontEnd& frontEnd);

// --list-ports' entries (a COM name, or none, and its lines) in COM order,
// devices found and --port mappings together; a device with no COM name last.
std::string InComOrder(std::vector<std::pair<std::string, std::string>> entries);

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // Standard output, as it is; false when it could not be written (a full disk, a closed pipe).
  virtual bool Out(const std::string& text) = 0;
  virtual void Err(const std::string& text) = 0;  // standard error (or the debugger), as it is
  // The serial devices present, in the order they take the COM names; false
  // where COMn is the system's own COM name and nothing is discovered.
  virtual bool Discover(std::vector<PortInfo>& found) = 0;
  // --list-ports in this platform's words.
  virtual void PrintPorts(const PortMap& map, const Options& options) = 0;
  // Everything a window needs before the first one is made (a display);
  // false with the reason when no window can be shown.
  virtual bool PrepareWindows(const Options& options, std::string& why) = 0;
  // Starts the simulated gimbal where this platform keeps it and makes COM1
  // reach it; false with the reason when it cannot start.
  virtual bool StartSimulator(const SimOptions& options, PortMap& map, std::string& why) = 0;
  virtual void StopSimulator(PortMap& map) = 0;
  // Runs the window until it ends.
  virtual void RunWindow(const WindowSession& session) = 0;
};

// The whole program; returns its exit status.
int RunProgram(const std::vector<std::string>& args, FrontEnd& frontEnd);
