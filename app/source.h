// Whoever acts on the panel (the window, script mode, a pad, a control
// client, a PTZ controller), named once as it appears and carried with every
// frame it causes, from the source to the line: the steering state knows who
// drives by it, the session log's "frames from ..." notes and the watchers'
// `event tx HEX WHO` print its name.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct Source {
  enum class Kind : std::uint8_t { kWindow, kScript, kPad, kClient, kVisca, kCount };
  Kind kind = Kind::kWindow;
  int id = 0;        // unique in this run; the window is 0
  int number = 0;    // within its kind, from 1: client 3, pad 2
  std::string name;  // "window", "script", "client 3", "pad 1 (Xbox Controller)", "visca 1 (127.0.0.1:40112)"
  bool operator==(const Source& other) const { return id == other.id; }
  static Source Window() { return {Kind::kWindow, 0, 0, "window"}; }
};

// The one counter that hands sources out: no two ever share an id or a name.
class SourceCounter {
 public:
  // detail: what tells it apart to the operator (a controller's address, a pad's product).
  Source Next(Source::Kind kind, const std::string& detail = "") {
    const int number = ++m_ofKind[static_cast<std::size_t>(kind)];
    static constexpr const char* kWords[] = {"window", "script", "pad", "client", "visca"};
    std::string name = kWords[static_cast<std::size_t>(kind)];
    // The window and script mode are one each; the others are counted.
    const bool single = kind == Source::Kind::kWindow || kind == Source::Kind::kScript;
    if (!single || number > 1) name += " " + std::to_string(number);
    if (!detail.empty()) name += " (" + detail + ")";
    return {kind, m_next++, number, std::move(name)};
  }

 private:
  int m_next = 1;
  std::array<int, static_cast<std::size_t>(Source::Kind::kCount)> m_ofKind{};
};
