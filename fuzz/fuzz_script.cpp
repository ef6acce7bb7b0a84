// Script mode's grammar on the in-memory controls: any line either acts or
// prints "error LINE: REASON", never both; an action prints nothing; "get" answers
// "ID=VALUE" for the id asked.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "app/panel/mem_controls.h"
#include "app/script_commands.h"
#include "fuzz_check.h"

namespace {
class Actions : public IScriptActions {
 public:
  IControls& Controls() override { return c; }
  bool Click(int) override { return ++acted, true; }
  bool Type(int id, const std::string& text) override {
    c.Type(id, text);
    return ++acted, true;
  }
  bool Select(int, int) override { return ++acted, true; }
  bool Slide(int, int) override { return ++acted, true; }
  void Key(bool) override { ++acted; }
  bool PressOk() override { return false; }
  bool ModalBoxOpen() override { return boxOpen; }
  void Settle() override {}
  bool Picture(const std::string&, std::string&) override { return ++acted, true; }
  void Quit() override { ++acted; }
  MemControls c;
  int acted = 0;
  bool boxOpen = false;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line = ScriptLine(std::string(reinterpret_cast<const char*>(data), size));
  if (line.find('\n') != std::string::npos) return 0;  // the runner splits lines first
  Actions actions;
  actions.boxOpen = size > 0 && (data[size - 1] & 1);  // the same line with a message box open and without
  std::vector<std::string> printed;
  ScriptCommands commands(actions, [&](const std::string& l) { printed.push_back(l); });
  commands.Execute(line);
  // "error LINE: REASON", and never a control byte: the line's come back as \xNN.
  const bool error = !printed.empty() && printed.back().rfind("error ", 0) == 0 && printed.back().find(": ") != std::string::npos;
  if (error) FUZZ_CHECK(actions.acted == 0 && printed.size() == 1);
  for (const std::string& l : printed)
    for (const char ch : l) FUZZ_CHECK(static_cast<unsigned char>(ch) >= 0x20 || ch == '\t');
  // With a box open, nothing reaches the panel but closing the program.
  if (actions.boxOpen && actions.acted) FUZZ_CHECK(line.rfind("quit", 0) == 0 || line.rfind("screenshot", 0) == 0);
  if (actions.acted) FUZZ_CHECK(printed.empty());
  if (line.rfind("get ", 0) == 0 && !error) {
    std::istringstream words(line.substr(4));
    std::string id;
    words >> id;
    FUZZ_CHECK(printed.size() == 1);
    FUZZ_CHECK(printed[0].rfind(id + "=", 0) == 0);
  }
  return 0;
}
