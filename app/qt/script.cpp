#include "app/qt/script.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QSlider>
#include <QTimer>
#include <charconv>
#include <ostream>
#include <sstream>

#include "app/panel/control_ids.h"
#include "app/qt/varnel_window.h"

namespace {
bool ParseInt(const std::string& s, int& out) {
  if (s.empty()) return false;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}
}  // namespace

ScriptRunner::ScriptRunner(VarnelWindow& window, std::string path, std::ostream& out)
    : m_window(window), m_path(std::move(path)), m_out(out) {}

ScriptRunner::~ScriptRunner() {
  if (m_reader.joinable()) {
    // Standard input may never end: wake the reader and wait for it, so that
    // it never hands a line to a runner that is gone.
    const char stop = 'q';
    (void)!write(m_wake[1], &stop, 1);
    m_reader.join();
  }
  for (int fd : m_wake)
    if (fd >= 0) close(fd);
}

void ScriptRunner::Attach() {
  m_window.setMessageObserver([this](const std::string& text) { Print("message " + text); });
}

void ScriptRunner::Start() {
  // Lines are read on a thread of their own and handed to the window's
  // thread, so a script typed live never stops the window.
  const int fd = m_path == "-" ? dup(STDIN_FILENO) : open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    Print("error cannot read " + m_path);
    return;
  }
  if (pipe2(m_wake, O_CLOEXEC) != 0) {
    close(fd);
    Print("error cannot read " + m_path);
    return;
  }
  m_reader = std::thread([this, fd] {
    std::string pending;
    char buf[4096];
    for (;;) {
      pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
      if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
      if (fds[1].revents) {
        close(fd);
        return;  // the runner is going away
      }
      if (!fds[0].revents) continue;
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) break;
      pending.append(buf, static_cast<std::size_t>(n));
      for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
        std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        QMetaObject::invokeMethod(this, [this, line] { Feed(line); }, Qt::QueuedConnection);
      }
    }
    if (!pending.empty()) QMetaObject::invokeMethod(this, [this, pending] { Feed(pending); }, Qt::QueuedConnection);
    close(fd);
  });
}

void ScriptRunner::Feed(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  m_lines.push_back(std::move(line));
  if (!m_waiting) QTimer::singleShot(0, this, &ScriptRunner::Step);
}

void ScriptRunner::Step() {
  if (m_waiting || m_lines.empty()) return;
  const std::string line = m_lines.front();
  m_lines.pop_front();
  // The next line is scheduled before this one runs: a command that opens a
  // modal box returns only when the box closes, and the script's own "ok"
  // must be able to close it.
  if (line.rfind("wait", 0) == 0) {
    std::istringstream in(line);
    std::string cmd, ms, extra;
    in >> cmd >> ms;
    int delay = 0;
    if (cmd == "wait" && ParseInt(ms, delay) && delay >= 0 && !(in >> extra)) {
      m_waiting = true;
      QTimer::singleShot(delay, this, [this] {
        m_waiting = false;
        Step();
      });
      return;
    }
  }
  if (!m_lines.empty()) QTimer::singleShot(0, this, &ScriptRunner::Step);
  Execute(line);
}

void ScriptRunner::Print(const std::string& line) {
  m_out << line << '\n';
  m_out.flush();
}

bool ScriptRunner::Id(const std::string& word, int& id) const {
  return ParseInt(word, id) && m_window.controls().Exists(id);
}

void ScriptRunner::Execute(const std::string& line) {
  if (line.empty()) return;
  QtControls& c = m_window.controls();
  const auto space = line.find(' ');
  const std::string cmd = line.substr(0, space);
  const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
  std::istringstream args(rest);
  std::string a, b, extra;
  args >> a >> b;
  const bool noExtra = !(args >> extra);
  int id = 0;
  auto error = [&] { Print("error " + line); };
  // What the operator cannot reach (a disabled list, the hidden button) the
  // script cannot operate either.
  const bool operable = (cmd == "click" || cmd == "type" || cmd == "select" || cmd == "slide") && Id(a, id);
  if (operable && (!c.IsWindowEnabled(id) || !c.IsWindowVisible(id))) return error();

  if (cmd == "click" && Id(a, id) && b.empty()) {
    auto* button = qobject_cast<QAbstractButton*>(c.Widget(id));
    if (!button) return error();
    button->setFocus(Qt::MouseFocusReason);  // a mouse press moves the focus to the button
    button->click();
  } else if (cmd == "type" && Id(a, id)) {
    // The rest of the line after "type ID " is the text, verbatim.
    const std::string prefix = "type " + a;
    const std::string text = line.size() > prefix.size() + 1 ? line.substr(prefix.size() + 1) : std::string();
    QLineEdit* edit = qobject_cast<QLineEdit*>(c.Widget(id));
    if (auto* combo = qobject_cast<QComboBox*>(c.Widget(id))) edit = combo->lineEdit();
    if (auto* box = qobject_cast<LogBox*>(c.Widget(id))) edit = box->edit();
    if (!edit) return error();
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    edit->insert(QString::fromStdString(text));  // as typed: textEdited fires
  } else if (cmd == "select" && Id(a, id) && noExtra) {
    auto* combo = qobject_cast<QComboBox*>(c.Widget(id));
    int index = 0;
    if (!combo || !ParseInt(b, index) || index < 0 || index >= combo->count()) return error();
    combo->setCurrentIndex(index);
    emit combo->activated(index);  // what choosing the entry in the open list emits
  } else if (cmd == "slide" && Id(a, id) && noExtra) {
    auto* slider = qobject_cast<QSlider*>(c.Widget(id));
    int pos = 0;
    if (!slider || !ParseInt(b, pos)) return error();
    slider->setFocus(Qt::MouseFocusReason);
    slider->setSliderPosition(pos);
  } else if (cmd == "focus" && Id(a, id) && b.empty()) {
    c.SetFocus(id);
  } else if (cmd == "key" && (a == "Return" || a == "Escape") && b.empty()) {
    QWidget* target = m_window.focusWidget() ? m_window.focusWidget() : &m_window;
    const int key = a == "Return" ? Qt::Key_Return : Qt::Key_Escape;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
  } else if (cmd == "get" && Id(a, id) && b.empty()) {
    std::string value;
    switch (c.Kind(id)) {
      case ControlKind::Check:
      case ControlKind::Radio: value = std::to_string(c.GetCheck(id)); break;
      case ControlKind::Combo:
      case ControlKind::SortedCombo:
      case ControlKind::SimpleCombo: value = std::to_string(c.GetCurSel(id)); break;
      case ControlKind::Slider: value = std::to_string(c.GetPos(id)); break;
      default: value = c.GetWindowText(id); break;
    }
    Print(a + "=" + value);
  } else if (cmd == "log" && rest.empty()) {
    const int n = c.GetCount(idc::RecvLog);
    Print("log " + std::to_string(n));
    for (int i = 0; i < n; ++i) Print("| " + c.GetLBText(idc::RecvLog, i));
  } else if (cmd == "sent" && rest.empty()) {
    std::string text = c.GetWindowText(idc::SentFrame);
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    Print("sent=" + text);
  } else if (cmd == "ok" && rest.empty()) {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      box->button(QMessageBox::Ok)->click();
    } else if (m_window.warning()->isVisible()) {
      m_window.warning()->okButton()->click();
    } else {
      error();
    }
  } else if (cmd == "quit" && rest.empty()) {
    // As Escape: close whatever box is open first, then the window.
    for (int i = 0; i < 8; ++i) {  // bounded: a box that refuses to close must not hang the script
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal == &m_window) break;
      modal->close();
    }
    m_window.reject();
  } else {
    error();
  }
}
