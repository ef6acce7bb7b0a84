#include "app/runner.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/about.h"
#include "app/sources/server.h"
#include "app/dialog.h"
#include "app/end_requests.h"
#include "app/panel/control_table.h"
#include "app/panel/data_exchange.h"
#include "app/pad_profile.h"
#include "app/script_commands.h"
#include "app/sources/script_runner.h"
#include "app/session_log.h"
#include "protocol/decode.h"

namespace {
constexpr int kScreenshotDelayMs = 500;

// Standard output as a stream, handed on a block at a time: what --decode
// says reaches the terminal as it goes, in a few MB whatever the input.
class OutBuffer : public std::streambuf {
 public:
  explicit OutBuffer(FrontEnd& fe) : m_fe(fe) { setp(m_block, m_block + sizeof m_block); }
  ~OutBuffer() override { sync(); }
  bool failed() const { return m_failed; }

 protected:
  int overflow(int c) override {
    if (sync() != 0) return traits_type::eof();
    if (c != traits_type::eof()) sputc(static_cast<char>(c));
    return c == traits_type::eof() ? 0 : c;
  }
  int sync() override {
    if (pptr() != pbase() && !m_failed) m_failed = !m_fe.Out(std::string(pbase(), pptr()));
    setp(m_block, m_block + sizeof m_block);
    return m_failed ? -1 : 0;
  }

 private:
  FrontEnd& m_fe;
  char m_block[64 * 1024];
  bool m_failed = false;
};

// What was on the wire, in words; no window.
int Decode(const std::string& path, FrontEnd& fe) {
  std::ifstream file;
  if (path != "-") {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
      fe.Err("varnel: cannot read " + path + ": is a directory\n");
      return 2;
    }
    file.open(path, std::ios::binary);
    if (!file) {
      fe.Err("varnel: cannot read " + path + ": " + std::strerror(errno) + "\n");
      return 2;
    }
  }
  OutBuffer buffer(fe);
  std::ostream text(&buffer);
  std::string why;
  const bool any = DecodeCapture(path == "-" ? std::cin : file, text, why);
  text.flush();
  if (buffer.failed()) {
    fe.Err("varnel: cannot write what " + path + " holds: standard output refused it (a full disk, a closed pipe)\n");
    return 1;
  }
  if (!any) fe.Err("varnel: " + path + ": " + why + "\n");
  return any ? 0 : 2;
}

}  // namespace

std::string InComOrder(std::vector<std::pair<std::string, std::string>> entries) {
  const auto number = [](const std::string& com) {
    int n = 0;
    const bool named = com.size() > 3 && std::from_chars(com.data() + 3, com.data() + com.size(), n).ec == std::errc();
    return named ? n : 1 << 20;
  };
  std::stable_sort(entries.begin(), entries.end(),
                   [&](const auto& a, const auto& b) { return number(a.first) < number(b.first); });
  std::string text;
  for (const auto& [com, lines] : entries) text += lines;
  return text;
}

namespace {
// Tab-separated, so that a script writer's tools can read it too. Verbose:
// a fifth column, what a list's entries are by index ("select ID N") or what
// an edit accepts ("type ID TEXT").
void PrintControls(FrontEnd& fe, bool verbose) {
  std::string text;
  for (const ControlListing& c : ListControls()) {
    text += std::to_string(c.id) + "\t" + c.kind + "\t" + c.caption + "\t" + c.group;
    if (verbose) {
      std::string more = AcceptedInput(c.id);
      const std::vector<std::string> entries = DisplayedEntries(c.id);
      for (std::size_t i = 0; i < entries.size(); ++i)
        more += (i ? "; " : "") + std::to_string(i) + "=" + entries[i];
      text += "\t" + more;
    }
    text += "\n";
  }
  fe.Out(text);
}
}  // namespace

namespace {
// The window's script actions with --screenshot's picture taken before a
// quit that would come first: what the command line asked for is never lost.
class PictureFirst : public IScriptActions {
 public:
  PictureFirst(IScriptActions& actions, const WindowSession& session, FrontEnd& fe)
      : m_actions(actions), m_session(session), m_fe(fe) {}
  IControls& Controls() override { return m_actions.Controls(); }
  bool Click(int id) override { return m_actions.Click(id); }
  bool Type(int id, const std::string& text) override { return m_actions.Type(id, text); }
  bool Select(int id, int index) override { return m_actions.Select(id, index); }
  bool Slide(int id, int pos) override { return m_actions.Slide(id, pos); }
  void Key(bool enter) override { m_actions.Key(enter); }
  bool PressOk() override { return m_actions.PressOk(); }
  void Settle() override { m_actions.Settle(); }
  bool Picture(const std::string& path, std::string& why) override { return m_actions.Picture(path, why); }
  bool ModalBoxOpen() override { return m_actions.ModalBoxOpen(); }
  void Quit() override {
    TakePicture();
    m_actions.Quit();
  }
  Steering* Steer() override { return m_actions.Steer(); }
  bool LineConnecting() override { return m_actions.LineConnecting(); }
  CVarnelDlg* Dialog() override { return m_actions.Dialog(); }

  void TakePicture() {
    const std::string& path = m_session.options.screenshot;
    if (path.empty() || m_taken) return;
    m_taken = true;
    std::string why;
    if (!m_actions.Picture(path, why)) {
      m_fe.Err("varnel: " + why + "\n");
      m_session.status = 2;
    }
  }

 private:
  IScriptActions& m_actions;
  const WindowSession& m_session;
  FrontEnd& m_fe;
  bool m_taken = false;
};
}  // namespace

void RunWindowParts(const WindowSession& session, const WindowParts& w, FrontEnd& fe) {
  PictureFirst actions(w.actions, session, fe);
  bool outputClosed = false;
  const auto print = [&](const std::string& line) {
    if (outputClosed || fe.Out(line + "\n")) return;
    outputClosed = true;
    fe.Err("varnel: standard output is closed: the script's output stops and the panel ends as at quit\n");
    w.scheduler.After(0, [&] { actions.Quit(); });  // after the command that printed
  };
  w.watchEndRequests([&] {
    session.status = end_requests::Status();
    w.actions.Quit();  // as the close box: whatever box is open first, then the window
  });
  std::unique_ptr<ScriptRunner> script;
  if (!session.options.script.empty())
    script = std::make_unique<ScriptRunner>(actions, w.scheduler, print, w.startupPolled);
  const std::vector<std::unique_ptr<IServer>>& servers = session.servers;
  const auto tell = [&servers](const PanelEvent& event) {
    for (const auto& server : servers) server->Heard(event);
  };
  if (script || !servers.empty()) {
    w.observeMessages([&](const std::string& text) {
      if (script) print("message " + text);
      tell({PanelEvent::Kind::kBox, nullptr, 0, nullptr, text});
    });
  }
  w.whenShown([&] {
    if (Steering* pad = w.actions.Steer()) {
      pad->Configure(session.options.pad);
      const auto say = [&session, &fe](const std::string& line) {
        fe.Err("varnel: " + line + "\n");
        if (session.log) session.log->Note(line);
      };
      pad->UseProfiles(&session.pads, say);
      // A press bound to a script-mode line runs it as the pad; a line that cannot run now is said.
      pad->RunCommands([&actions, say](const std::string& line, const Source& who) {
        ScriptCommands commands(actions, [](const std::string&) {}, who);
        if (const std::string why = commands.Perform(line); !why.empty()) say(who.name + ": " + line + ": " + why);
      });
    }
    // The panel exists once the window shows (the Win32 dialog makes it as it opens).
    if (CVarnelDlg* dlg = servers.empty() ? nullptr : actions.Dialog()) {
      dlg->ObserveTraffic([tell](bool sent, const std::uint8_t* bytes, std::size_t n, const Source& who) {
        tell({sent ? PanelEvent::Kind::kSent : PanelEvent::Kind::kReceived, bytes, n, &who, ""});
      });
      dlg->ObserveNews([tell](const char* kind, const std::string& text) {
        tell({PanelEvent::Kind::kNews, nullptr, 0, nullptr, std::string(kind) + " " + text});
      });
    }
    // Each server from now on runs on the window's thread, woken by its
    // sockets: what a client sends runs whole, between the window's own actions.
    for (const auto& server : servers)
      server->Attach(actions, w.scheduler, [&](const std::string& line) {
        fe.Err("varnel: " + line + "\n");
        if (session.log) session.log->Note(line);
      });
    if (script && session.script) script->Start(std::move(session.script));
    if (session.options.screenshot.empty()) return;
    w.scheduler.After(kScreenshotDelayMs, [&] {
      actions.TakePicture();
      if (!script) w.actions.Quit();  // a picture was all that was asked for
    });
  });
  w.run();
  if (!servers.empty()) {
    if (CVarnelDlg* dlg = actions.Dialog()) {
      dlg->ObserveTraffic(nullptr);
      dlg->ObserveNews(nullptr);
    }
  }
  for (const auto& server : servers) server->Detach();
  script.reset();
}

int RunProgram(const std::vector<std::string>& args, FrontEnd& fe) {
  // Options first: --help, --version, --list-ports and a wrong option are
  // answered before any window or display is needed.
  Options options;
  std::string error;
  if (!ParseOptions(args, options, error)) {
    // One or two lines: what is wrong (with an example where it has one), not the whole --help.
    fe.Err("varnel: " + error + (error.find('\n') == std::string::npos ? "\n(varnel --help lists the options)\n" : "\n"));
    return 2;
  }
  if (options.help) return fe.Out(UsageText()), 0;
  if (options.version) return fe.Out(std::string(VersionText()) + "\n"), 0;
  if (!options.decode.empty()) return Decode(options.decode, fe);
  if (options.listControls) return PrintControls(fe, options.verbose), 0;

  // COM names: --port maps stay as given, the devices present take the
  // others in a stable order.
  PortMap map;
  for (const auto& [com, path] : options.ports) map.Map(com, path);
  std::vector<PortInfo> found;
  const bool discovered = fe.Discover(found);
  if (discovered) map.UseDiscovered(found);
  if (options.listPorts) return fe.PrintPorts(map, options), 0;

  // A script that cannot be read is said before any window opens.
  std::unique_ptr<LineReader> script;
  if (!options.script.empty()) {
    script = LineReader::Open(options.script, error);
    if (!script) {
      fe.Err("varnel: cannot read the script " + options.script + ": " + error + "\n");
      return 2;
    }
  }

  // So is a pad profile with a fault, line by line.
  PadProfiles pads(options.pad, PadProfileFolders(), ScriptCommands::Check);
  for (std::string file : options.padProfiles)
    if (!pads.Give(file, error)) {
      for (std::istringstream faults(error); std::getline(faults, file);) fe.Err("varnel: --pad-profile " + file + "\n");
      return 2;
    }

  if (!fe.PrepareWindows(options, error)) {
    fe.Err("varnel: " + error + "\n");
    return 2;
  }
  if (options.simulate) {
    if (!fe.StartSimulator(SimOptionsOf(options), map, error)) {
      fe.Err("varnel: " + error + "\n");
      return 1;
    }
    if (discovered) map.UseDiscovered(found);  // the devices present move up past COM1
  }

  // The session log, when asked for: a file that cannot be written is said
  // once, and the panel goes on without it.
  SessionLog sessionLog([&fe](const std::string& why) { fe.Err("varnel: " + why + "\n"); });
  const bool logging = !options.log.empty() && sessionLog.Open(options.log);

  // The servers listen before the window shows: a port in use or a token
  // that cannot be read ends the program before anything is sent.
  std::vector<std::unique_ptr<IServer>> servers;
  if (!MakeServers(options, servers, error)) {
    fe.Err("varnel: " + error + "\n");
    return 2;
  }
  for (const auto& server : servers) {
    fe.Err("varnel: " + server->Listening() + "\n");
    if (logging) sessionLog.Note(server->Listening());
  }

  // From here on a signal (a console event on Windows) ends the panel as
  // its close box does, so that the line is released on every way out.
  end_requests::Install();
  int status = 0;
  {
    CComSync port(&map);
    fe.RunWindow({port, logging ? &sessionLog : nullptr, options, script, status, servers, pads});
    port.Close();  // before the simulated gimbal goes
  }
  if (options.simulate) fe.StopSimulator(map);
  return status;
}
