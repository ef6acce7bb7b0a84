// Script mode's grammar, free of any toolkit: one command a line, and what
// the operator would see printed back (UTF-8, a line each). Each window
// provides only the operator's actions on its own widgets; reading values
// goes through the control layer. The Linux and the Windows window share it,
// so the same script gives the same output on both.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/panel/controls.h"
#include "app/source.h"

class Frame;

// text with every byte that is not part of well-formed UTF-8 replaced by U+FFFD.
std::string ValidUtf8(const std::string& text);

// The operator's actions on a window. Each returns false when the control is
// not of a kind the action reaches (typing into a button, sliding a list).
class IScriptActions {
 public:
  virtual ~IScriptActions() = default;
  virtual IControls& Controls() = 0;
  // Presses a button, check box or radio button; the focus moves to it first,
  // as with the mouse.
  virtual bool Click(int id) = 0;
  // Replaces the text of an edit, or of a list's edit field, as if typed.
  virtual bool Type(int id, const std::string& text) = 0;
  // Chooses entry index (known to exist) of a list, so its selection change runs.
  virtual bool Select(int id, int index) = 0;
  virtual bool Slide(int id, int pos) = 0;
  // Return (true) or Escape (false) on the focused control.
  virtual void Key(bool enter) = 0;
  // Presses OK in the message box or Warning window that is open; false when none is.
  virtual bool PressOk() = 0;
  // Lets the window finish what the last action caused, as it does for an
  // operator long before the next click: repaints, and what a slider's
  // repaint sends.
  virtual void Settle() = 0;
  // A PNG of the window as it is now, sending nothing; false with the reason.
  virtual bool Picture(const std::string& path, std::string& why) = 0;
  // Whether a modal message box is open: the operator cannot reach the panel
  // then. (The Warning window is modeless: the panel stays usable beside it.)
  virtual bool ModalBoxOpen() = 0;
  // Ends the program at once, as the close box does, closing any box first.
  virtual void Quit() = 0;
  // The panel's one steering state, which `stick` and `pad` feed as a real
  // pad would; null where there is none.
  virtual class Steering* Steer() { return nullptr; }
  // The operator's open of a network port is under way: what a command
  // sends would be lost, so commands that act wait for its outcome.
  virtual bool LineConnecting() { return false; }
  // The panel behind the window; null where there is none (tests).
  virtual class CVarnelDlg* Dialog() { return nullptr; }

  // ---- for every source that acts on the panel (app/sources/) ----------------
  // A new source, from the panel's one counter (a counter of its own where
  // there is no panel).
  Source Appear(Source::Kind kind, const std::string& detail = "");
  // Who the frames the panel sends are for from now on; who it was before.
  Source ActFor(const Source& who);
  // A VISCA camera message to the gimbal's line as who's, echoed and logged
  // as the panel's own; false while a box is open or where there is no panel.
  bool SendCamera(const Source& who, const Frame& command);

 private:
  SourceCounter m_ownSources;
};

class ScriptCommands {
 public:
  // print gets every line as UTF-8: bytes of a line that are not (an echoed
  // script line, a text the window holds) each become U+FFFD.
  // who: the source the commands act for (script mode, a control client):
  // the frames they cause are its, and so is its `stick`.
  ScriptCommands(IScriptActions& actions, std::function<void(const std::string&)> print,
                 Source who = {Source::Kind::kScript, -1, 1, "script"})
      : m_actions(actions),
        m_print([print = std::move(print)](const std::string& line) { print(ValidUtf8(line)); }),
        m_who(std::move(who)) {}
  void ActFor(const Source& who) { m_who = who; }
  const Source& Who() const { return m_who; }
  // Runs one line ("wait" aside: the runner waits, see WaitDelay); a line
  // that cannot run prints "error LINE: REASON".
  void Execute(const std::string& line);
  // Runs one line as Execute does, but says why it could not run instead of
  // printing it ("" when it ran, or was blank or a comment).
  std::string Perform(const std::string& line);
  // The commands' names, in the order --help and `help` list them.
  static std::vector<std::string> Names();
  // The delay of a well-formed "wait MS" line, else nothing.
  static std::optional<int> WaitDelay(const std::string& line);
  // Why line could never run, as far as can be told without the window
  // (an unknown command, a control the panel lacks, a bad argument); "" else.
  static std::string Check(const std::string& line);
  // Whether line is a command that acts on the panel (a click, a stick), not one that only reads.
  static bool ActsOnPanel(const std::string& line);

 private:
  std::string Run(const std::string& line);  // why it could not run, or ""
  IScriptActions& m_actions;
  std::function<void(const std::string&)> m_print;
  Source m_who;
};

// text with its control bytes as \xNN: a line repeated to the operator or a
// client never moves a terminal's cursor or retitles its window.
std::string ControlsShown(const std::string& text);
// The line as read, without the carriage return a Windows editor leaves and
// without a comment after it (a # after a blank, and the blanks before it).
std::string ScriptLine(std::string line);
// Whether text could have been typed: well-formed UTF-8 without control
// characters (a NUL, a line end, an escape) that no edit field takes.
bool TypableText(const std::string& text);
