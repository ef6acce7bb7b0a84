#include "app/qt/script.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QSlider>
#include <QTimer>

#include "app/panel/control_ids.h"
#include "app/qt/varnel_window.h"

void QtScheduler::After(int ms, std::function<void()> fn) {
  // Queued to the window's thread first: a timer belongs to the thread that starts it.
  QMetaObject::invokeMethod(
      m_context, [context = m_context, ms, fn = std::move(fn)] { QTimer::singleShot(ms, context, fn); },
      Qt::QueuedConnection);
}

void QtScheduler::WatchSocket(std::intptr_t socket, bool writable, std::function<void()> ready) {
  Watched& w = m_sockets[socket];
  const auto notifier = [&](QSocketNotifier::Type type) {
    auto n = std::make_unique<QSocketNotifier>(static_cast<qintptr>(socket), type);
    QObject::connect(n.get(), &QSocketNotifier::activated, m_context, [ready] { ready(); });
    return n;
  };
  if (!w.read) w.read = notifier(QSocketNotifier::Read);
  // Room for more only while something waits for it: a socket has room nearly always.
  if (writable && !w.write) w.write = notifier(QSocketNotifier::Write);
  if (!writable && w.write) {  // it may be the one calling
    w.write->setEnabled(false);
    w.write.release()->deleteLater();
  }
}

void QtScheduler::ForgetSocket(std::intptr_t socket) {
  const auto it = m_sockets.find(socket);
  if (it == m_sockets.end()) return;
  for (auto* n : {it->second.read.release(), it->second.write.release()})
    if (n) {
      n->setEnabled(false);
      n->deleteLater();
    }
  m_sockets.erase(it);
}

IControls& QtScriptActions::Controls() { return m_window.controls(); }
Steering* QtScriptActions::Steer() { return &m_window.dialog().Steer(); }
bool QtScriptActions::LineConnecting() { return m_window.dialog().LineConnecting(); }
CVarnelDlg* QtScriptActions::Dialog() { return m_window.dialogIfAny(); }

bool QtScriptActions::Click(int id) {
  auto* button = qobject_cast<QAbstractButton*>(m_window.controls().Widget(id));
  if (!button) return false;
  button->setFocus(Qt::MouseFocusReason);  // a mouse press moves the focus to the button
  button->click();
  return true;
}

bool QtScriptActions::Type(int id, const std::string& text) {
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

bool QtScriptActions::Select(int id, int index) {
  auto* combo = qobject_cast<QComboBox*>(m_window.controls().Widget(id));
  if (!combo) return false;
  combo->setCurrentIndex(index);
  emit combo->activated(index);  // what choosing the entry in the open list emits
  return true;
}

bool QtScriptActions::Slide(int id, int pos) {
  auto* slider = qobject_cast<QSlider*>(m_window.controls().Widget(id));
  if (!slider) return false;
  slider->setFocus(Qt::MouseFocusReason);
  slider->setSliderPosition(pos);
  return true;
}

void QtScriptActions::Key(bool enter) {
  QWidget* target = m_window.focusWidget() ? m_window.focusWidget() : &m_window;
  const int key = enter ? Qt::Key_Return : Qt::Key_Escape;
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QApplication::sendEvent(target, &release);
}

bool QtScriptActions::PressOk() {
  if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
    box->button(QMessageBox::Ok)->click();
  } else if (m_window.warning()->isVisible()) {
    m_window.warning()->okButton()->click();
  } else {
    return false;
  }
  return true;
}

bool QtScriptActions::Picture(const std::string& path, std::string& why) { return m_window.WritePicture(path, why); }

void QtScriptActions::Settle() {
  // The repaints the action asked for, then the handlers the sliders' paints
  // queued on the window (a moved slider sends its frame).
  QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
  QCoreApplication::sendPostedEvents(&m_window, QEvent::MetaCall);
}

bool QtScriptActions::ModalBoxOpen() {
  QWidget* modal = QApplication::activeModalWidget();
  return modal && modal != &m_window;
}

void QtScriptActions::Quit() {
  // As the close box: close whatever box is open first, then the window.
  for (int i = 0; i < 8; ++i) {  // bounded: a box that refuses to close must not hang the script
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == &m_window) break;
    modal->close();
  }
  m_window.reject();
}
