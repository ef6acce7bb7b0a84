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
#include <ostream>

#include "app/panel/control_ids.h"
#include "app/qt/varnel_window.h"

ScriptRunner::ScriptRunner(VarnelWindow& window, std::string path, std::ostream& out)
    : m_window(window), m_path(std::move(path)), m_out(out), m_commands(*this, [this](const std::string& line) {
        Print(line);
      }) {}

void ScriptRunner::Execute(const std::string& line) { m_commands.Execute(line); }

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
  m_lines.push_back(ScriptLine(std::move(line)));
  if (!m_waiting) QTimer::singleShot(0, this, &ScriptRunner::Step);
}

void ScriptRunner::Step() {
  if (m_waiting || m_lines.empty()) return;
  const std::string line = m_lines.front();
  m_lines.pop_front();
  // The next line is scheduled before this one runs: a command that opens a
  // modal box returns only when the box closes, and the script's own "ok"
  // must be able to close it.
  if (const std::optional<int> delay = ScriptCommands::WaitDelay(line)) {
    m_waiting = true;
    QTimer::singleShot(*delay, this, [this] {
      m_waiting = false;
      Step();
    });
    return;
  }
  if (!m_lines.empty()) QTimer::singleShot(0, this, &ScriptRunner::Step);
  Execute(line);
}

void ScriptRunner::Print(const std::string& line) {
  m_out << line << '\n';
  m_out.flush();
}

IControls& ScriptRunner::Controls() { return m_window.controls(); }

bool ScriptRunner::Click(int id) {
  auto* button = qobject_cast<QAbstractButton*>(m_window.controls().Widget(id));
  if (!button) return false;
  button->setFocus(Qt::MouseFocusReason);  // a mouse press moves the focus to the button
  button->click();
  return true;
}

bool ScriptRunner::Type(int id, const std::string& text) {
  QtControls& c = m_window.controls();
  QLineEdit* edit = qobject_cast<QLineEdit*>(c.Widget(id));
  if (auto* combo = qobject_cast<QComboBox*>(c.Widget(id))) edit = combo->lineEdit();
  if (auto* box = qobject_cast<LogBox*>(c.Widget(id))) edit = box->edit();
  if (!edit) return false;
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
  edit->insert(QString::fromStdString(text));  // as typed: textEdited fires
  return true;
}

bool ScriptRunner::Select(int id, int index) {
  auto* combo = qobject_cast<QComboBox*>(m_window.controls().Widget(id));
  if (!combo) return false;
  combo->setCurrentIndex(index);
  emit combo->activated(index);  // what choosing the entry in the open list emits
  return true;
}

bool ScriptRunner::Slide(int id, int pos) {
  auto* slider = qobject_cast<QSlider*>(m_window.controls().Widget(id));
  if (!slider) return false;
  slider->setFocus(Qt::MouseFocusReason);
  slider->setSliderPosition(pos);
  return true;
}

void ScriptRunner::Key(bool enter) {
  QWidget* target = m_window.focusWidget() ? m_window.focusWidget() : &m_window;
  const int key = enter ? Qt::Key_Return : Qt::Key_Escape;
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QApplication::sendEvent(target, &release);
}

bool ScriptRunner::PressOk() {
  if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
    box->button(QMessageBox::Ok)->click();
  } else if (m_window.warning()->isVisible()) {
    m_window.warning()->okButton()->click();
  } else {
    return false;
  }
  return true;
}

void ScriptRunner::Quit() {
  // As Escape: close whatever box is open first, then the window.
  for (int i = 0; i < 8; ++i) {  // bounded: a box that refuses to close must not hang the script
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == &m_window) break;
    modal->close();
  }
  m_window.reject();
}
