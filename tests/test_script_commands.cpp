// Script mode's grammar on the in-memory controls: what each line does and
// prints, apart from any window. The Linux window's end-to-end tests
// (test_script) show the same lines working on real widgets.
#include <gtest/gtest.h>

#include "app/panel/control_ids.h"
#include "app/panel/mem_controls.h"
#include "app/script_commands.h"

namespace {
class RecordingActions : public IScriptActions {
 public:
  IControls& Controls() override { return c; }
  bool Click(int id) override { return Did("click " + std::to_string(id)); }
  bool Type(int id, const std::string& text) override {
    c.Type(id, text);
    return Did("type " + std::to_string(id) + " [" + text + "]");
  }
  bool Select(int id, int index) override { return Did("select " + std::to_string(id) + " " + std::to_string(index)); }
  bool Slide(int id, int pos) override { return Did("slide " + std::to_string(id) + " " + std::to_string(pos)); }
  void Key(bool enter) override { Did(enter ? "Return" : "Escape"); }
  bool PressOk() override {
    if (!boxOpen) return false;
    boxOpen = false;  // OK closes the box
    return Did("ok");
  }
  bool ModalBoxOpen() override { return boxOpen; }
  void Settle() override { ++settled; }
  bool Picture(const std::string& path, std::string&) override { return Did("picture " + path); }
  void Quit() override { Did("quit"); }

  bool Did(const std::string& what) {
    done.push_back(what);
    return true;
  }
  MemControls c;
  std::vector<std::string> done;
  bool boxOpen = false;
  int settled = 0;
};

struct Script {
  RecordingActions actions;
  std::vector<std::string> printed;
  // The output as lines (a block of the log arrives in one piece).
  ScriptCommands commands{actions, [this](const std::string& text) {
                            std::size_t at = 0;
                            for (std::size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
                              printed.push_back(text.substr(at, nl - at));
                            printed.push_back(text.substr(at));
                          }};
  void Run(const std::string& line) { commands.Execute(line); }
};
}  // namespace

TEST(ScriptCommands, ActionsReachTheWindowAndWrongLinesSayError) {
  const struct {
    const char* line;
    const char* action;  // nullptr: none, and "error LINE: REASON" printed
    const char* reason = "";
  } cases[] = {
      {"click 1050", "click 1050"},
      {"type 1158 7E 7E  44 ", "type 1158 [7E 7E  44 ]"},  // the rest of the line, verbatim
      {"type 1158 ", "type 1158 []"},
      {"type 1158", "type 1158 []"},
      {"select 1094 4", "select 1094 4"},
      {"slide 1063 30", "slide 1063 30"},
      {"key Return", "Return"},
      {"key Escape", "Escape"},
      {"quit", "quit"},
      {"select 1094 5", nullptr, "no entry 5 in 1094"},   // no such entry
      {"select 1094 -1", nullptr, "no entry -1 in 1094"},
      {"select 1094 x", nullptr, "bad argument"},
      {"select 1094 1 2", nullptr, "bad argument"},
      {"select 1146 0", nullptr, "1146 is disabled"},   // disabled until a core is chosen
      {"click 1156", nullptr, "1156 is hidden"},      // hidden
      {"click 9999", nullptr, "no control 9999"},      // no such control
      {"click 1050 now", nullptr, "bad argument"},
      {"slide 1063", nullptr, "bad argument"},
      {"key Tab", nullptr, "bad argument"},
      {"jump 1050", nullptr, "unknown command"},
      {"ok", nullptr, "no box is open"},               // no box is open
      {"quit now", nullptr, "bad argument"},
      {"type 1158 7E\t7E", nullptr, "bad argument"},  // what no keyboard types into an edit field
      {"type 1158 7E\x1b", nullptr, "bad argument"},
      {"type 1158 \xC3\x28", nullptr, "bad argument"},  // not UTF-8
      {"type 1158 \xE6\x8E\xA5", "type 1158 [\xE6\x8E\xA5]"},  // 接, as typed
  };
  for (const auto& t : cases) {
    Script s;
    s.actions.c.EnableWindow(idc::VideoFormat1, false);
    s.actions.c.ShowWindow(idc::PrepareTest, false);
    s.Run(t.line);
    if (t.action) {
      EXPECT_EQ(s.actions.done, std::vector<std::string>{t.action}) << t.line;
      EXPECT_TRUE(s.printed.empty()) << t.line;
    } else {
      EXPECT_TRUE(s.actions.done.empty()) << t.line;
      // A control byte of the line comes back as \xNN, never raw (the ESC case).
      std::string shown = ValidUtf8(std::string("error ") + t.line);
      if (const auto esc = shown.find('\x1b'); esc != std::string::npos) shown.replace(esc, 1, "\\x1b");
      EXPECT_EQ(s.printed, std::vector<std::string>{shown + ": " + t.reason})
          << t.line;
    }
  }
}

TEST(ScriptCommands, GetPrintsWhatEachKindOfControlHolds) {
  Script s;
  s.actions.c.SetCheck(idc::ShowRecvTime, 1);
  s.actions.c.SetCurSel(idc::Baud, 3);
  s.actions.c.SetPos(idc::ZoomSlider, 7, false);
  s.actions.c.SetWindowText(idc::Status, "STATUS：COM1 NOT OPENED");
  s.actions.c.SetWindowText(idc::SentFrame, "7e-7e\r\n");
  const std::uint8_t reply[] = {0xBB, 0x09};
  s.actions.c.AddLogLine(idc::RecvLog, {LogKind::kCaption, {}});
  s.actions.c.AddLogLine(idc::RecvLog, HexLine(reply, 2));
  s.actions.boxOpen = true;
  for (const char* line : {"get 1063", "get 1094", "get 1004", "get 1107", "log", "sent", "ok", "focus 1158", ""})
    s.Run(line);
  EXPECT_EQ(s.printed, (std::vector<std::string>{"1063=7", "1094=3", "1004=STATUS：COM1 NOT OPENED", "1107=-1", "log 2",
                                                 "| 接收信息", "| bb-09", "sent=7e-7e"}));
  EXPECT_EQ(s.actions.c.GetFocus(), idc::ManualText);
  EXPECT_EQ(s.actions.done, std::vector<std::string>{"ok"});
}

TEST(ScriptCommands, WaitAndLineEnds) {
  EXPECT_EQ(ScriptCommands::WaitDelay("wait 500"), 500);
  EXPECT_EQ(ScriptCommands::WaitDelay("wait 0"), 0);
  for (const char* bad : {"wait", "wait -1", "wait 5 6", "wait x", "waiting 5", "click 1050"})
    EXPECT_FALSE(ScriptCommands::WaitDelay(bad)) << bad;
  EXPECT_EQ(ScriptLine("click 1050\r"), "click 1050");
  EXPECT_EQ(ScriptLine("type 1158 a\r\r"), "type 1158 a\r");
}

// Every line printed is UTF-8, whatever bytes the script held; and a NUL,
// which a Win32 edit field would cut the text at, is refused on every platform.
TEST(ScriptCommands, OutputIsAlwaysUtf8AndANulIsNeverTyped) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"plain", "plain"},
      {"\xE6\x8E\xA5\xE6\x94\xB6", "\xE6\x8E\xA5\xE6\x94\xB6"},
      {"\xFF", "\xEF\xBF\xBD"},
      {"a\xC3", "a\xEF\xBF\xBD"},                          // cut short at the end
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},              // overlong
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
      {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // past U+10FFFF
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(ValidUtf8(c.in), c.out) << c.in;
  Script s;
  s.Run("jump \xFF");
  s.Run(std::string("type 1158 7E\0" "7E", 15));
  EXPECT_EQ(s.printed, (std::vector<std::string>{"error jump \xEF\xBF\xBD: unknown command",
                                                 "error type 1158 7E\\x007E: bad argument"}));
  EXPECT_TRUE(s.actions.done.empty());
}

// While a message box is open the operator cannot reach the panel: neither can
// the script, until its own "ok" closes the box; reading still works.
TEST(ScriptCommands, WithAMessageBoxOpenOnlyOkReadingAndQuitWork) {
  Script s;
  s.actions.boxOpen = true;
  for (const char* line : {"click 1117", "type 1112 12", "select 1094 1", "slide 1063 4", "focus 1111", "key Return"})
    s.Run(line);
  EXPECT_TRUE(s.actions.done.empty());
  ASSERT_EQ(s.printed.size(), 6u);
  for (const std::string& line : s.printed) EXPECT_NE(line.find(": a message box is open"), std::string::npos) << line;
  s.printed.clear();
  s.Run("get 1163");
  s.Run("ok");
  s.Run("click 1117");
  EXPECT_EQ(s.printed, std::vector<std::string>{"1163="});
  EXPECT_EQ(s.actions.done, (std::vector<std::string>{"ok", "click 1117"}));
}
