// A pad profile as an operator might write it, or anything else: either it is
// taken, and what it says it is reads back the same, or each fault names a line
// the text has; then the pad's inputs, whatever they are, never move the
// gimbal past the largest step.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/pad_profile.h"
#include "app/script_commands.h"
#include "app/steering.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> faults;
  const std::optional<PadProfile> p = ReadPadProfile(text, {}, ScriptCommands::Check, faults);
  FUZZ_CHECK(p.has_value() == faults.empty());
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n';
  for (const std::string& f : faults) {
    FUZZ_CHECK(f.compare(0, 5, "line ") == 0);
    const unsigned long n = std::strtoul(f.c_str() + 5, nullptr, 10);
    FUZZ_CHECK(n >= 1 && n <= lines);
  }
  if (!p) return 0;
  std::vector<std::string> again;
  const std::optional<PadProfile> back = ReadPadProfile(p->Text(), {}, ScriptCommands::Check, again);
  FUZZ_CHECK(back && back->Text() == p->Text());

  int worst = 0;
  Steering steering({[&worst](int x, int y, const Source&) { return worst = std::max({worst, std::abs(x), std::abs(y)}), true; },
                     [](const Source&) {}, [](int, const Source&) {}, [] { return false; }, [] {}, [](unsigned) {}});
  PadMapping pad(steering, {Source::Kind::kPad, 1, 1, "pad 1"}, "fuzz", *p);
  // Each input the profile names, moved to a value from the input's own bytes.
  std::size_t at = 0;
  for (const PadBinding& b : p->bindings) {
    const double v = size ? (static_cast<int>(data[at++ % size]) - 128) / 100.0 : 0.0;
    pad.Input(b.input, v);
    steering.Tick();
  }
  pad.Lost();
  FUZZ_CHECK(worst <= p->settings.maxStep);
  return 0;
}
