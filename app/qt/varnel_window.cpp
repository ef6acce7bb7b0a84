#include "app/qt/varnel_window.h"

#include <QComboBox>

#include "serial/port_map.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>
#include <iostream>

#include "app/own_link.h"
#include "app/panel/control_table.h"

QEvent::Type DialogMessageEvent::Kind() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

VarnelWindow::VarnelWindow(CComBase& port, SessionLog* log, QWidget* parent)
    : QDialog(parent), m_font(DialogFont(9)), m_units(m_font) {
  setWindowTitle(QString::fromUtf8(kDialogCaption));
  setWindowIcon(AppIcon());
  // Caption, system menu and minimise box; no maximise box, not resizable.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(m_font);
  setFixedSize(m_units.X(kDialogWidthDlu), m_units.Y(kDialogHeightDlu));
  Build();
  m_warning = new WarningDialog(this, m_warningText);
  m_dlg = std::make_unique<CVarnelDlg>(m_controls, *this, port, log);
  m_port = &port;
  qApp->installEventFilter(this);
}

VarnelWindow::~VarnelWindow() {
  qApp->removeEventFilter(this);
  m_dlg.reset();  // stops the poll timer before the widgets go
}

void VarnelWindow::Build() {
  // Frames first, so that every control lies above its group's frame.
  for (const ControlDef& def : ControlTable()) {
    if (def.kind != ControlKind::Group) continue;
    auto* group = new QGroupBox(QString::fromUtf8(def.caption), this);
    group->setGeometry(m_units.Rect(def.x, def.y, def.w, def.h));
  }
  for (const ControlDef& def : ControlTable()) {
    const QString caption = QString::fromUtf8(def.caption);
    const QRect rect = m_units.Rect(def.x, def.y, def.w, def.h);
    QWidget* w = nullptr;
    const int id = def.id;
    switch (def.kind) {
      case ControlKind::Group: continue;
      case ControlKind::Label:
      case ControlKind::Static: {
        auto* label = new QLabel(caption, this);
        label->setTextFormat(Qt::PlainText);
        if (id == idc::SentFrame) {
          label->setWordWrap(true);
          label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
          label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
        w = label;
        break;
      }
      case ControlKind::Edit: {
        auto* edit = new QLineEdit(this);
        // The edit draws every pixel of itself: the caret's blink repaints the
        // edit alone, not the group box behind it (an idle panel's processor time).
        edit->setAttribute(Qt::WA_OpaquePaintEvent);
        w = edit;
        break;
      }
      case ControlKind::Button:
      case ControlKind::MultiLineButton: {
        QPushButton* b = def.kind == ControlKind::Button ? new QPushButton(caption, this) : new WrapButton(caption, this);
        b->setAutoDefault(false);  // Enter is the window's, not a default button's
        connect(b, &QPushButton::clicked, this, [this, id] { m_dlg->OnClicked(id); });
        w = b;
        break;
      }
      case ControlKind::Check: {
        auto* c = new QCheckBox(caption, this);
        connect(c, &QCheckBox::clicked, this, [this, id] { m_dlg->OnClicked(id); });
        w = c;
        break;
      }
      case ControlKind::Radio: {
        auto* r = new QRadioButton(caption, this);
        connect(r, &QRadioButton::clicked, this, [this, id] { m_dlg->OnClicked(id); });
        w = r;
        break;
      }
      case ControlKind::Combo:
      case ControlKind::SortedCombo: {
        auto* c = new QComboBox(this);
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);  // typed text stays as typed
        for (const std::string& entry : DisplayedEntries(id)) c->addItem(QString::fromStdString(entry));
        c->setCurrentIndex(-1);
        c->setMaxVisibleItems(12);
        // Only the operator's choice is a selection change; setting the
        // selection from code sends nothing.
        connect(c, qOverload<int>(&QComboBox::activated), this, [this, id](int) { m_dlg->OnSelChange(id); });
        w = c;
        break;
      }
      case ControlKind::SimpleCombo: w = new LogBox(this); break;
      case ControlKind::Slider: {
        auto* s = new PaintSlider(Qt::Horizontal, this);
        s->setTickPosition(QSlider::NoTicks);
        s->setRange(0, 100);
        // The handler runs right after the paint, never inside it: a handler
        // that opened a message box from within a paint would nest painting.
        connect(s, &PaintSlider::painted, this, [this, id] { m_dlg->OnCustomDraw(id); }, Qt::QueuedConnection);
        w = s;
        break;
      }
    }
    w->setGeometry(rect);
    w->setObjectName(QStringLiteral("idc_%1").arg(id));
    // What a screen reader says of it, from its row (a slider, its value and
    // the status line have no caption of their own).
    if (id) w->setAccessibleName(QString::fromStdString(AccessibleName(id)));
    if (id) m_controls.Register(id, def.kind, w);
  }
}

void VarnelWindow::Init() {
  // Which device each COM name of "I/O ID" reaches, on hovering its entry;
  // the entries' texts stay the panel's own.
  if (auto* ports = qobject_cast<QComboBox*>(m_controls.Widget(idc::ComPort))) {
    for (int i = 0; i < ports->count(); ++i) {
      const std::string device = m_port->Map().Describe(ports->itemText(i).toStdString());
      ports->setItemData(i, QString::fromStdString(device.empty() ? "no serial device" : device), Qt::ToolTipRole);
    }
  }
  m_dlg->OnInitDialog();
}

void VarnelWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // A Warning raised during start-up must stay above the window it belongs to.
  if (m_warning->isVisible()) QTimer::singleShot(0, m_warning, [w = m_warning] { w->raise(); });
}

bool VarnelWindow::WritePicture(const std::string& path, std::string& why) {
  if (!LinkIsOurs(path, why)) {
    why = "cannot write " + path + ": it " + why;
    return false;
  }
  const QList<PaintSlider*> sliders = findChildren<PaintSlider*>();
  for (PaintSlider* s : sliders) s->setQuiet(true);
  const QPixmap picture = grab();
  for (PaintSlider* s : sliders) s->setQuiet(false);
  if (picture.save(QString::fromStdString(path), "PNG")) return true;
  why = "cannot write " + path;
  return false;
}

// ---- IDialogHost ------------------------------------------------------------

void VarnelWindow::MessageBox(const std::string& text) {
  if (m_observer) m_observer(text);
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Varnel"), QString::fromStdString(text), QMessageBox::Ok, this);
  box.setFont(m_font);
  box.exec();  // posted messages (the poll) go on being handled meanwhile
}

void VarnelWindow::ShowWarning(const std::string& text) {
  if (m_observer) m_observer(text);
  if (text != m_warningText) {  // the same window, another reason
    delete m_warning;
    m_warningText = text;
    m_warning = new WarningDialog(this, m_warningText);
  }
  m_warning->show();
  m_warning->raise();
}

void VarnelWindow::ShowAbout() {
  AboutDialog about(this);
  about.exec();
}

void VarnelWindow::PostDialogMessage(unsigned message) {
  QCoreApplication::postEvent(this, new DialogMessageEvent(message));
}

void VarnelWindow::EndDialog(int result) {
  m_ending = true;
  done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
}

void VarnelWindow::Diagnostic(const std::string& line) {
  if (!m_quiet) std::cerr << line << std::endl;
}

void VarnelWindow::ShowWaiting(const std::string& what) {
  // In the title, where the task bar shows it too, and the pointer of work
  // under way that leaves the window usable.
  setWindowTitle(QString::fromStdString(WindowCaption(what)));
  if (what.empty()) unsetCursor();
  else setCursor(Qt::BusyCursor);
}

void VarnelWindow::reject() { m_dlg->OnClose(); }

// ---- events -----------------------------------------------------------------

void VarnelWindow::customEvent(QEvent* event) {
  if (event->type() == DialogMessageEvent::Kind()) {
    if (!m_ending) m_dlg->OnMessage(static_cast<DialogMessageEvent*>(event)->message());
    return;
  }
  QDialog::customEvent(event);
}

bool VarnelWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this) return false;  // a message box, a list's popup
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key == Qt::Key_Escape) {
    m_dlg->OnCancel();
    return true;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
      button->click();
    } else {
      m_dlg->OnOK();
    }
    return true;
  }
  return false;
}

void VarnelWindow::contextMenuEvent(QContextMenuEvent* event) {
  // The window manager owns the system menu here; the same items live in
  // the window's context menu instead.
  QMenu menu(this);
  menu.addAction(QStringLiteral("Minimize"), this, &QWidget::showMinimized);
  menu.addAction(QStringLiteral("Close"), this, [this] { reject(); });
  menu.addSeparator();
  QString about = QString::fromUtf8(kAboutMenuText);
  menu.addAction(about, this, [this] { m_dlg->OnSysCommand(IDM_ABOUTBOX); });
  menu.addAction(QString::fromUtf8(kLearnPadMenuText), this, [this] { m_dlg->OnSysCommand(IDM_LEARNPAD); });
  menu.exec(event->globalPos());
}

std::optional<std::string> VarnelWindow::AskPadAction(const std::string& question,
                                                      const std::vector<std::string>& choices) {
  QStringList items;
  for (const std::string& c : choices) items << QString::fromStdString(c);
  bool ok = false;
  const QString chosen = QInputDialog::getItem(this, QStringLiteral("Learn a pad control"),
                                               QString::fromStdString(question), items, 0, true, &ok);
  if (!ok) return std::nullopt;
  return chosen.toStdString();
}
