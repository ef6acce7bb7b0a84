#include "app/panel/mem_controls.h"

#include <stdexcept>

#include "app/panel/control_table.h"

MemControls::MemControls() {
  for (const ControlDef& def : ControlTable()) {
    if (def.id == 0) continue;
    State s;
    s.kind = def.kind;
    s.text = def.caption;
    s.entries = DisplayedEntries(def.id);
    m_controls[def.id] = std::move(s);
  }
}

MemControls::State& MemControls::At(int id) {
  const auto it = m_controls.find(id);
  if (it == m_controls.end()) throw std::out_of_range("no control " + std::to_string(id));
  return it->second;
}

const MemControls::State& MemControls::At(int id) const {
  const auto it = m_controls.find(id);
  if (it == m_controls.end()) throw std::out_of_range("no control " + std::to_string(id));
  return it->second;
}

std::string MemControls::GetWindowText(int id) const { return At(id).text; }

void MemControls::SetWindowText(int id, const std::string& text) {
  State& s = At(id);
  s.text = text;
  if (s.kind == ControlKind::Combo || s.kind == ControlKind::SortedCombo) {
    const bool listed = s.sel >= 0 && s.sel < static_cast<int>(s.entries.size());
    s.sel = ShownSelection(listed ? s.sel : -1, text, listed ? s.entries[static_cast<std::size_t>(s.sel)] : "");
  }
}

int MemControls::GetCurSel(int id) const { return At(id).sel; }

void MemControls::SetCurSel(int id, int index) {
  State& s = At(id);
  const int count = id == idc::RecvLog ? static_cast<int>(m_log.Size()) : static_cast<int>(s.entries.size());
  s.sel = index >= 0 && index < count ? index : -1;
  if (id != idc::RecvLog) s.text = s.sel >= 0 ? s.entries[s.sel] : std::string();
}

int MemControls::GetCount(int id) const {
  if (id == idc::RecvLog) return static_cast<int>(m_log.Size());
  return static_cast<int>(At(id).entries.size());
}

std::string MemControls::GetLBText(int id, int index) const {
  if (id == idc::RecvLog) return std::string(m_log.Line(static_cast<std::size_t>(index)));
  const State& s = At(id);
  return index >= 0 && index < static_cast<int>(s.entries.size()) ? s.entries[index] : std::string();
}

void MemControls::AddLogLine(int id, const LogLine& line) {
  if (id == idc::RecvLog) m_log.Append(line);
}

void MemControls::ResetContent(int id) {
  if (id == idc::RecvLog) m_log.Clear();
  else At(id).entries.clear();
  At(id).sel = -1;
}

void MemControls::SetPos(int id, int pos, bool redraw) {
  State& s = At(id);
  s.pos = pos < s.min ? s.min : (pos > s.max ? s.max : pos);
  if (redraw) m_pendingPaints.push_back(id);
}

void MemControls::SetRange(int id, int min, int max) {
  State& s = At(id);
  s.min = min;
  s.max = max;
  ++s.rangeSets;
  if (s.pos < min) s.pos = min;
  if (s.pos > max) s.pos = max;
}

std::vector<int> MemControls::TakePendingPaints() {
  std::vector<int> out(m_pendingPaints.begin(), m_pendingPaints.end());
  m_pendingPaints.clear();
  return out;
}
