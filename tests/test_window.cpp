// The real window on the offscreen platform: every control, the size, what
// the keyboard does, the Warning, the start-up traffic, and a picture of it.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRawFont>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <SDL.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <QDir>
#include <QClipboard>
#include <QToolTip>

#include "app/panel/control_table.h"
#include "app/qt/qt_controls.h"
#include "app/sources/qt/sdl_pad.h"
#include "app/qt/varnel_window.h"
#include "app/about.h"
#include "app/pad_profile.h"
#include "app/script_commands.h"
#include "bytes.h"
#include "protocol/commands.h"
#include "test_pty.h"
#include "serial/port_map.h"

namespace {
// Closes the next message box as the operator would, and remembers its text.
void AnswerNextBox(QString* text) {
  QTimer::singleShot(50, [text] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      if (text) *text = box->text();
      box->button(QMessageBox::Ok)->click();
    }
  });
}
// SDL's own virtual joystick: the SDL event path as a pad's, no /dev/uinput
// needed. A game controller (SDL maps it) unless told how many axes,
// buttons and hats a joystick it does not know has; its index, -1 when none.
int AttachVirtualPad(const char* name, int axes = -1, int buttons = 0, int hats = 0) {
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = axes < 0 ? SDL_JOYSTICK_TYPE_GAMECONTROLLER : SDL_JOYSTICK_TYPE_FLIGHT_STICK;
  desc.naxes = static_cast<Uint16>(axes < 0 ? SDL_CONTROLLER_AXIS_MAX : axes);
  desc.nbuttons = static_cast<Uint16>(axes < 0 ? SDL_CONTROLLER_BUTTON_MAX : buttons);
  desc.nhats = static_cast<Uint16>(hats);
  desc.name = name;
  return SDL_JoystickAttachVirtualEx(&desc);
}
// How many of the frames at the far end, frame by frame, are f.
int CountFrames(const std::vector<std::uint8_t>& wire, const Frame& f) {
  int n = 0;
  for (std::size_t at = 0; at + kFrameSize <= wire.size(); at += kFrameSize)
    if (std::equal(f.data(), f.data() + kFrameSize, wire.begin() + static_cast<long>(at))) ++n;
  return n;
}
}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestPty> pty;
  std::unique_ptr<PortMap> map;
  std::unique_ptr<CComSync> port;
  std::unique_ptr<VarnelWindow> window;
  std::vector<std::uint8_t> startup;  // what the first display sent

  // Reads the device side while the window runs, until n bytes came or the time is up.
  std::vector<std::uint8_t> Collect(std::size_t n, int timeoutMs = 5000) {
    std::vector<std::uint8_t> got;
    const bool complete = QTest::qWaitFor(
        [&] {
          const auto more = pty->Receive(4096, 0);
          got.insert(got.end(), more.begin(), more.end());
          return got.size() >= n;
        },
        timeoutMs);
    (void)complete;  // the caller compares what came
    return got;
  }

  void Open(bool withCom1 = true) {
    pty = std::make_unique<TestPty>();
    map = std::make_unique<PortMap>();
    map->Map("COM1", withCom1 ? pty->path() : std::string("/dev/ttyVarnelMissing0"));
    port = std::make_unique<CComSync>(map.get());
    window = std::make_unique<VarnelWindow>(*port);
    window->setQuietDiagnostics(true);
    window->Init();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    // The four sliders' first paints send the zoom and three image frames.
    startup = withCom1 ? Collect(9 + 3 * 48) : std::vector<std::uint8_t>();
  }

 private slots:
  void cleanup() {
    window.reset();
    port.reset();
    pty.reset();
  }

  void everyControlWithItsCaptionAndKind() {
    Open();
    QtControls& c = window->controls();
    int count = 0;
    for (const ControlDef& def : ControlTable()) {
      if (!def.id) continue;
      ++count;
      QVERIFY2(c.Exists(def.id), qPrintable(QString::number(def.id)));
      QCOMPARE(c.Kind(def.id), def.kind);
      switch (def.kind) {
        case ControlKind::Button:
        case ControlKind::MultiLineButton:
        case ControlKind::Check:
        case ControlKind::Radio: QCOMPARE(c.GetWindowText(def.id), std::string(def.caption)); break;
        case ControlKind::Combo:
        case ControlKind::SortedCombo: {
          const auto entries = DisplayedEntries(def.id);
          QCOMPARE(c.GetCount(def.id), static_cast<int>(entries.size()));
          for (int i = 0; i < c.GetCount(def.id); ++i) QCOMPARE(c.GetLBText(def.id, i), entries[i]);
          break;
        }
        default: break;
      }
    }
    QCOMPARE(count, 107);
    QCOMPARE(window->windowTitle(), QString("Cloud Platform Control V1.991"));
    QCOMPARE(c.GetWindowText(idc::Status), std::string("STATUS：COM1 OPENED，57600,E,8,1"));
    QCOMPARE(c.GetCurSel(idc::Template), 0);
    QVERIFY(!c.IsWindowVisible(idc::PrepareTest));
    QVERIFY(!c.IsWindowEnabled(idc::VideoFormat1));
    QVERIFY(!window->warning()->isVisible());
    QCOMPARE(window->findChildren<QGroupBox*>().size(), 8);
  }

  void fixedSizeWithoutMaximise() {
    Open();
    const DialogUnits& du = window->units();
    QCOMPARE(window->size(), QSize(du.X(782), du.Y(429)));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  }

  void captionsFitAndNothingOverlaps() {
    Open();
    QtControls& c = window->controls();
    const QRect client = window->rect();
    std::vector<std::pair<int, QRect>> placed;
    for (const ControlDef& def : ControlTable()) {
      if (def.kind == ControlKind::Group) continue;
      QWidget* w = def.id ? c.Widget(def.id) : nullptr;
      const QRect r = window->units().Rect(def.x, def.y, def.w, def.h);
      QVERIFY2(client.contains(r), def.caption);
      const QFontMetrics fm(window->font());
      const int text = fm.horizontalAdvance(QString::fromUtf8(def.caption));
      int room = r.width();
      if (def.kind == ControlKind::Check || def.kind == ControlKind::Radio) {
        QStyleOptionButton opt;
        opt.initFrom(w);
        room -= w->style()->pixelMetric(QStyle::PM_IndicatorWidth, &opt, w) +
                w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &opt, w) + 2;
      } else if (def.kind == ControlKind::Button) {
        room -= 8;
      } else if (def.kind == ControlKind::MultiLineButton) {
        room = (room - 8) * 2;  // the caption wraps onto two lines
      } else if (def.kind == ControlKind::Combo || def.kind == ControlKind::SortedCombo) {
        int widest = 0;
        for (const std::string& e : DisplayedEntries(def.id))
          widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString(e)));
        QVERIFY2(widest + 24 <= r.width(), qPrintable(QString::number(def.id)));
      }
      QVERIFY2(text <= room, qPrintable(QString("%1 \"%2\" needs %3 px, has %4").arg(def.id).arg(def.caption)
                                            .arg(text).arg(room)));
      for (const auto& [otherId, other] : placed)
        QVERIFY2(!other.intersects(r), qPrintable(QString("%1 overlaps %2 (%3)").arg(def.id).arg(otherId).arg(def.caption)));
      placed.emplace_back(def.id, r);
    }
    const QFontMetrics fm(window->font());
    for (const ControlDef& def : ControlTable())
      if (def.kind == ControlKind::Group)
        QVERIFY2(fm.horizontalAdvance(QString::fromUtf8(def.caption)) + 16 <= window->units().X(def.w), def.caption);
  }

  // The blinking caret of a focused edit repaints the edit alone, not the
  // group box under it: an idle panel's processor time.
  void theCaretRepaintsOnlyItsEdit() {
    Open();
    struct PaintCounter : QObject {
      int paints = 0;
      bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
      }
    } counter;
    for (QGroupBox* g : window->findChildren<QGroupBox*>()) g->installEventFilter(&counter);
    auto* year = qobject_cast<QLineEdit*>(window->controls().Widget(idc::Year));
    year->setFocus();
    QTest::qWait(300);  // the focus change's own repaint
    counter.paints = 0;
    QTest::qWait(2200);  // at least four blinks
    QCOMPARE(counter.paints, 0);
  }

  void aLongLogGrowsWithoutRepaintingItsScrollBar() {
    Open();
    auto* view = static_cast<LogBox*>(window->controls().Widget(idc::RecvLog))->view();
    auto* bar = static_cast<QuietScrollBar*>(view->verticalScrollBar());
    const std::uint8_t bytes[16] = {0xbb, 0x09, 0x01, 0x41};
    auto poll = [&](int lines) {
      for (int i = 0; i < lines; ++i) window->controls().AddLogLine(idc::RecvLog, HexLine(bytes, sizeof bytes));
      QTest::qWait(20);
    };
    poll(30);  // a short log: each poll's rows shrink the slider
    const int shortLog = bar->repaints();
    poll(30);
    QVERIFY2(bar->repaints() > shortLog, "a slider that changed was not repainted");

    poll(20000);
    const int longLog = bar->repaints();
    for (int i = 0; i < 5; ++i) poll(53);  // polls at line rate
    QCOMPARE(bar->repaints(), longLog);
    QCOMPARE(bar->maximum(), 20000 + 60 + 5 * 53 - bar->pageStep());  // the range follows all the same
    bar->setValue(5000);  // the operator scrolls: the slider moves
    QVERIFY(bar->repaints() > longLog);
  }

  void aRowWiderThanTheLogShowsWholeInItsTooltip() {
    Open();
    auto* view = static_cast<LogBox*>(window->controls().Widget(idc::RecvLog))->view();
    const std::uint8_t reply[8] = {0xbb, 0x09, 0x01, 0x49, 0x02, 0, 0, 0};
    const std::string status =
        " Inserted card Not in initialization not read-only format complete Unformatted Unfilled Tested "
        "Effective format No mistake Video recording";
    window->controls().AddLogLine(idc::RecvLog, HexLine(reply, sizeof reply));
    window->controls().AddLogLine(idc::RecvLog, TextLine(status));
    QTest::qWait(20);
    const auto hover = [&](int row) {
      const QPoint at(20, row * view->rowHeight() + view->rowHeight() / 2);
      QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
      QApplication::sendEvent(view->viewport(), &help);
    };
    hover(1);  // cut off at the list's edge
    QVERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QString::fromStdString(status));
    for (int row : {0, 5}) {  // a hex line fits, and below the last row: no tip
      hover(1);
      hover(row);
      QTRY_VERIFY2(!QToolTip::isVisible(), qPrintable(QString("a tip over row %1").arg(row)));
    }
  }

  void theLogCopiesWhatIsSelectedAsShown() {
    Open();
    auto* view = static_cast<LogBox*>(window->controls().Widget(idc::RecvLog))->view();
    const std::uint8_t reply[8] = {0xbb, 0x09, 0x01, 0x49, 0x02, 0, 0, 0};
    window->controls().AddLogLine(idc::RecvLog, {LogKind::kCaption, {}});
    window->controls().AddLogLine(idc::RecvLog, HexLine(reply, sizeof reply));
    window->controls().AddLogLine(idc::RecvLog, TextLine("2026-12-9 10:41:2"));
    window->controls().AddLogLine(idc::RecvLog, TextLine(" Inserted card"));
    QTest::qWait(20);
    const auto rowAt = [&](int row) { return QPoint(20, row * view->rowHeight() + view->rowHeight() / 2); };
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();

    // One row, then Shift+click for the rows down to another; Ctrl+C.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rowAt(1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, rowAt(2));
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QString::fromUtf8("bb-09-01-49-02-00-00-00\n2026-12-9 10:41:2\n"));
    // Shift+Up extends from the current row; Ctrl+A takes every row.
    QTest::keyClick(view, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QString::fromUtf8("接收信息\nbb-09-01-49-02-00-00-00\n"));
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text().count('\n'), 4);
    QVERIFY(clipboard->text().endsWith(" Inserted card\n"));
  }

  void screenReadersReadEveryControlsNameAndTheLogsRows() {
    Open();
    // Every control has a name, through Qt's accessibility interface; those
    // without a caption of their own have the one their row gives.
    for (const ControlListing& c : ListControls()) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window->controls().Widget(c.id));
      QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(), qPrintable(QString("no name for %1").arg(c.id)));
    }
    const std::pair<int, const char*> named[] = {{idc::ContrastSlider, "Contrast ratio"},
                                                 {idc::ZoomText, "Zoom value"},
                                                 {idc::Step, "Step of UP, DOWN, LEFT, RIGHT"},
                                                 {idc::Status, "Port status"},
                                                 {idc::Residual, "Residual capacity"},  // a wrapped caption
                                                 {idc::Year, "Year"}};                  // the label beside it
    for (const auto& [id, name] : named)
      QCOMPARE(QAccessible::queryAccessibleInterface(window->controls().Widget(id))->text(QAccessible::Name),
               QString(name));

    // The log is a list whose rows are its items, as shown.
    auto* view = static_cast<LogBox*>(window->controls().Widget(idc::RecvLog))->view();
    const std::uint8_t reply[8] = {0xbb, 0x09, 0x01, 0x49, 0x02, 0, 0, 0};
    window->controls().AddLogLine(idc::RecvLog, {LogKind::kCaption, {}});
    window->controls().AddLogLine(idc::RecvLog, HexLine(reply, sizeof reply));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view);
    QVERIFY(list);
    QCOMPARE(list->role(), QAccessible::List);
    QCOMPARE(list->childCount(), 2);
    QAccessibleInterface* row = list->child(1);
    QVERIFY(row);
    QCOMPARE(row->role(), QAccessible::ListItem);
    QCOMPARE(row->text(QAccessible::Name), QString("bb-09-01-49-02-00-00-00"));
    QCOMPARE(list->indexOfChild(row), 1);
    QCOMPARE(row->parent(), list);
    view->setCurrentRow(1);
    QVERIFY(row->state().selected);
    QVERIFY(!list->child(0)->state().selected);
  }

  void aRealSdlPadSteersAndStopsWhenItGoes() {
    Open();
    SdlPad reader(window->dialog().ForPads());
    QVERIFY(!reader.Started());  // SDL comes only once the window is up
    QTRY_VERIFY_WITH_TIMEOUT(reader.Started(), 1000);
    const int index = AttachVirtualPad("Varnel test pad");
    QVERIFY2(index >= 0, SDL_GetError());
    SDL_Joystick* stick = SDL_JoystickOpen(index);
    QVERIFY(stick);
    QTest::qWait(600);  // found at the next look, within a second
    QVERIFY(!reader.Watched());  // a virtual pad has no device: read every 10 ms
    pty->Drain(50);

    const Frame move = BuildMoveFrame(kCmdCrossWire, 55, 0, 0);
    const Frame stop = BuildMoveFrame(kCmdCrossWire, 0, 0, 0);
    SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_LEFTX, 16384);  // half way right
    QTest::qWait(500);
    SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_LEFTX, 0);
    QTest::qWait(200);
    std::vector<std::uint8_t> wire = Collect(0, 100);
    QCOMPARE(wire.size() % kFrameSize, std::size_t(0));
    const int moves = CountFrames(wire, move);
    qInfo("SDL pad held 500 ms: %d move frames", moves);
    QVERIFY(moves >= 8 && moves <= 14);
    QCOMPARE(CountFrames(wire, stop), 1);
    QVERIFY(std::equal(stop.data(), stop.data() + kFrameSize, wire.end() - kFrameSize));

    // Unplugged mid-move: the zero move, once.
    SDL_JoystickSetVirtualAxis(stick, SDL_CONTROLLER_AXIS_LEFTX, 16384);
    QTest::qWait(100);
    SDL_JoystickClose(stick);
    SDL_JoystickDetachVirtual(index);
    QTest::qWait(200);
    wire = Collect(0, 100);
    QVERIFY(CountFrames(wire, move) >= 1);
    QCOMPARE(CountFrames(wire, stop), 1);
    QVERIFY(std::equal(stop.data(), stop.data() + kFrameSize, wire.end() - kFrameSize));
  }

  // Several pads at once, each its own source with its own profile (found by
  // its name in the operator's folder): a game controller and a flight stick
  // SDL has no mapping for, its inputs by number. The latest to move drives;
  // the one unplugged stops only what it drove.
  void twoSdlPadsSteerInTurnEachThroughItsProfile() {
    Open();
    char dir[] = "/tmp/varnel-pads-XXXXXX";
    QVERIFY(mkdtemp(dir));
    std::ofstream(std::string(dir) + "/stick.pad")
        << "pad = Varnel test stick\naxis2 = pan deadzone 0 expo 0\nbutton3 = freeze\n";
    PadProfiles profiles({}, {dir}, ScriptCommands::Check);
    std::vector<std::string> said;
    window->dialog().Steer().UseProfiles(&profiles, [&said](const std::string& l) { said.push_back(l); });
    SdlPad reader(window->dialog().ForPads());
    reader.Start();
    const int padIndex = AttachVirtualPad("Varnel test pad");
    const int stickIndex = AttachVirtualPad("Varnel test stick", 4, 8, 1);
    QVERIFY2(padIndex >= 0 && stickIndex >= 0, SDL_GetError());
    SDL_Joystick* p = SDL_JoystickOpen(padIndex);
    SDL_Joystick* s = SDL_JoystickOpen(stickIndex);
    QVERIFY(p && s);
    QTRY_COMPARE_WITH_TIMEOUT(reader.Pads(), 2, 1500);
    pty->Drain(50);

    SDL_JoystickSetVirtualButton(s, 3, 1);  // the stick's button 3, by its profile: freeze
    QTest::qWait(100);
    SDL_JoystickSetVirtualButton(s, 3, 0);
    QTest::qWait(100);
    const Frame freeze = BuildFreezeFrame(true);
    QCOMPARE(Collect(0, 100), std::vector<std::uint8_t>(freeze.data(), freeze.data() + freeze.size()));

    const Frame padMove = BuildMoveFrame(kCmdCrossWire, 55, 0, 0), twist = BuildMoveFrame(kCmdCrossWire, 200, 0, 0);
    const Frame stop = BuildMoveFrame(kCmdCrossWire, 0, 0, 0);
    SDL_JoystickSetVirtualAxis(p, SDL_CONTROLLER_AXIS_LEFTX, 16384);  // the pad drives
    QTest::qWait(200);
    SDL_JoystickSetVirtualAxis(s, 2, 32767);  // the stick's full twist takes over
    QTest::qWait(200);
    SDL_JoystickSetVirtualAxis(p, SDL_CONTROLLER_AXIS_LEFTX, 0);  // the pad's rest stops nothing
    QTest::qWait(200);
    std::vector<std::uint8_t> wire = Collect(0, 100);
    QVERIFY(CountFrames(wire, padMove) >= 2);
    QVERIFY(CountFrames(wire, twist) >= 6);
    QCOMPARE(CountFrames(wire, stop), 0);
    SDL_JoystickClose(s);  // the stick unplugged mid-twist: one stop
    SDL_JoystickDetachVirtual(stickIndex);
    QTRY_COMPARE_WITH_TIMEOUT(reader.Pads(), 1, 1500);
    QTest::qWait(100);
    wire = Collect(0, 100);
    QCOMPARE(CountFrames(wire, stop), 1);
    QVERIFY(std::equal(stop.data(), stop.data() + kFrameSize, wire.end() - kFrameSize));
    SDL_JoystickClose(p);
    SDL_JoystickDetachVirtual(padIndex);
    window->dialog().Steer().UseProfiles(nullptr, nullptr);
    std::filesystem::remove_all(dir);
  }

  // Learn mode from the window: the next control pressed on a pad is asked
  // about; the answer binds it in the pad's profile, written back and found again.
  void learnModeAsksWhatAPadControlDoesAndWritesItBack() {
    Open();
    char dir[] = "/tmp/varnel-pads-XXXXXX";
    QVERIFY(mkdtemp(dir));
    PadProfiles profiles({}, {dir}, ScriptCommands::Check);
    window->dialog().Steer().UseProfiles(&profiles, [](const std::string&) {});
    SdlPad reader(window->dialog().ForPads());
    reader.Start();
    const int index = AttachVirtualPad("Varnel learn pad");
    SDL_Joystick* pad = SDL_JoystickOpen(index);
    QVERIFY(pad);
    QTRY_COMPARE_WITH_TIMEOUT(reader.Pads(), 1, 1500);
    pty->Drain(50);

    window->dialog().OnSysCommand(IDM_LEARNPAD);
    QVERIFY(window->windowTitle().contains("a pad control to learn"));
    QString asked;
    QTimer::singleShot(300, [&asked] {
      auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      if (!box) return;
      asked = box->labelText();
      box->setTextValue("freeze");
      box->accept();
    });
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_BACK, 1);
    QTRY_VERIFY_WITH_TIMEOUT(!asked.isEmpty(), 2000);
    QVERIFY(asked.endsWith("(Varnel learn pad): back does"));
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_BACK, 0);
    QTest::qWait(100);
    QVERIFY(Collect(0, 100).empty());  // the press that was learned did nothing else
    QVERIFY(!window->windowTitle().contains("a pad control to learn"));
    std::ifstream written(std::string(dir) + "/Varnel-learn-pad.pad");
    std::stringstream text;
    text << written.rdbuf();
    QVERIFY2(text.str().find("pad = Varnel learn pad\n") != std::string::npos, text.str().c_str());
    QVERIFY2(text.str().find("back = freeze\n") != std::string::npos, text.str().c_str());

    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_BACK, 1);
    QTest::qWait(100);
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_BACK, 0);
    const Frame freeze = BuildFreezeFrame(true);
    QCOMPARE(Collect(0, 100), std::vector<std::uint8_t>(freeze.data(), freeze.data() + freeze.size()));
    QCOMPARE(profiles.For("Varnel learn pad", "", nullptr).Find("back", false)->action.Text(), std::string("freeze"));
    SDL_JoystickClose(pad);
    SDL_JoystickDetachVirtual(index);
    window->dialog().Steer().UseProfiles(nullptr, nullptr);
    std::filesystem::remove_all(dir);
  }

  // A steering pad's device wakes the reader only when it has input, and
  // once when it ends: a FIFO stands in for the device node.
  void aPadsDeviceWakesOnlyWithInputAndSaysWhenItEnds() {
    const std::string path = QDir::temp().filePath("varnel-wake-XXXXXX").toStdString();
    std::string fifo = path;
    QVERIFY(mkdtemp(fifo.data()));
    fifo += "/pad";
    QCOMPARE(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    QVERIFY(writer >= 0);
    DeviceWake wake(fifo.c_str());
    QVERIFY(wake.Watching());
    int woken = 0, gone = 0;
    connect(&wake, &DeviceWake::woken, [&] { ++woken; });
    connect(&wake, &DeviceWake::gone, [&] { ++gone; });
    QTest::qWait(50);
    QCOMPARE(woken, 0);  // nothing to say, no wake
    QCOMPARE(::write(writer, "abc", 3), 3);
    QTRY_COMPARE(woken, 1);
    QTest::qWait(50);
    QCOMPARE(woken, 1);  // what woke it was taken: no wake again without more
    ::close(writer);
    QTRY_COMPARE(gone, 1);
    QTest::qWait(50);
    QCOMPARE(gone, 1);
    QVERIFY(!wake.Watching());
    QVERIFY(!DeviceWake("/nonexistent/pad").Watching());
    std::remove(fifo.c_str());
    ::rmdir(fifo.substr(0, fifo.size() - 4).c_str());
  }

  void chineseTextsRenderAndAPictureIsWritten() {
    Open();
    const QRawFont raw = QRawFont::fromFont(window->font());
    for (char32_t ch : {U'接', U'收', U'信', U'息', U'格', U'式', U'化', U'设', U'置', U'关', U'于', U'：', U'，'})
      QVERIFY2(raw.supportsCharacter(ch), "the dialog font has no glyph for a Chinese text of the panel");
    window->controls().AddLogLine(idc::RecvLog, {LogKind::kCaption, {}});
    window->controls().SetWindowText(idc::FormatStatus, "格式化中……");
    QTest::qWait(50);
    const QString path = QStringLiteral(VARNEL_SHOT_DIR "/varnel-window.png");
    QVERIFY(window->grab().save(path));
    qInfo("window picture: %s", qPrintable(path));
  }

  void startUpTrafficOnceThenSilence() {
    Open();
    // The four sliders paint once on first display, and each paint sends.
    const auto wire = startup;
    std::vector<std::uint8_t> zoom = {0x81, 0x01, 0x04, 0x47, 0, 0, 0, 0, 0xFF};
    QCOMPARE(wire.size(), std::size_t(9 + 3 * 48));
    int coeff = 0, adjust = 0, zooms = 0;
    for (std::size_t i = 0; i < wire.size();) {
      if (wire[i] == 0x81) {
        QVERIFY(std::equal(zoom.begin(), zoom.end(), wire.begin() + static_cast<long>(i)));
        ++zooms;
        i += 9;
      } else {
        QCOMPARE(wire[i + 5], wire[i + 5] == 0xC8 ? std::uint8_t(0xC8) : std::uint8_t(0x1D));
        if (wire[i + 5] == 0xC8) {
          QCOMPARE(int(wire[i + 6]), 100);
          ++coeff;
        } else {
          QCOMPARE(int(wire[i + 8]), 50);
          QCOMPARE(int(wire[i + 12]), 50);
          ++adjust;
        }
        i += 48;
      }
    }
    QCOMPARE(zooms, 1);
    QCOMPARE(coeff, 1);
    QCOMPARE(adjust, 2);
    QTest::qWait(400);  // a window left alone sends nothing more
    QCOMPARE(pty->Drain(50).size(), std::size_t(0));
    window->update();  // a repaint sends them again
    QCOMPARE(Collect(9 + 3 * 48).size(), std::size_t(9 + 3 * 48));
  }

  void enterCommitsOrSendsEscapeKeepsTheCloseBoxEnds() {
    Open();
    auto* year = qobject_cast<QLineEdit*>(window->controls().Widget(idc::Year));
    year->setFocus();
    year->selectAll();
    QTest::keyClicks(year, "2100");
    QString text;
    AnswerNextBox(&text);
    QTest::keyClick(year, Qt::Key_Return);
    QVERIFY(text.contains("between 2017 and 2099"));
    QVERIFY(window->isVisible());
    year->selectAll();
    QTest::keyClicks(year, "2099");
    QTest::keyClick(year, Qt::Key_Return);
    QVERIFY(window->isVisible());
    QCOMPARE(window->dialog().Values().m_nYear, 2099);
    // Enter in the manual instruction sends it, as the button does.
    auto* manual = qobject_cast<QLineEdit*>(window->controls().Widget(idc::ManualText));
    manual->setFocus();
    QTest::keyClicks(manual, "7E 7E 44");
    QTest::keyClick(manual, Qt::Key_Return);
    QCOMPARE(Collect(3), Hex("7E 7E 44"));
    QVERIFY(window->isVisible());
    // Escape leaves the panel alone; the close box ends it.
    auto* month = window->controls().Widget(idc::Month);
    qobject_cast<QLineEdit*>(month)->setText("13");
    QTest::keyClick(month, Qt::Key_Escape);
    QVERIFY(window->isVisible());
    window->close();
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Rejected));
  }

  void enterOrSpaceOnAButtonPressesIt() {
    Open();
    auto* query = window->controls().Widget(idc::QueryState);
    query->setFocus();
    QTest::keyClick(query, Qt::Key_Return);
    QVERIFY(window->isVisible());
    QCOMPARE(Collect(48).at(5), std::uint8_t(0x8B));
    QTest::keyClick(query, Qt::Key_Space);
    QCOMPARE(Collect(48).at(6), std::uint8_t(0x02));
  }

  void warningIsModelessAndShownOnEveryFailure() {
    Open(false);
    QtControls& c = window->controls();
    QCOMPARE(c.GetWindowText(idc::Status), std::string("STATUS：COM1 NOT OPENED"));
    QVERIFY(window->warning()->isVisible());
    QCOMPARE(window->warning()->windowTitle(), QString("Warning!"));
    QVERIFY(window->warning()->findChild<QLabel*>()->text() == "This serial port is not found!");
    QVERIFY(!window->warning()->isModal());
    auto* parity = qobject_cast<QComboBox*>(c.Widget(idc::Parity));
    QVERIFY(parity->isEnabled());  // the main window goes on working
    window->warning()->okButton()->click();
    QVERIFY(!window->warning()->isVisible());
    parity->setCurrentIndex(1);
    emit parity->activated(1);
    QVERIFY(window->warning()->isVisible());
  }

  void aboutBoxContents() {
    Open();
    AboutDialog about(window.get());
    QCOMPARE(about.windowTitle(), QString("关于 Varnel"));
    QStringList texts;
    for (QLabel* l : about.findChildren<QLabel*>()) texts << l->text();
    QVERIFY(texts.contains(QString::fromUtf8(VersionText())));
    QCOMPARE(about.okButton()->text(), QString("确定"));
  }
};

int main(int argc, char** argv) {
  // No display is needed: the window is drawn offscreen unless told otherwise.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  WindowTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "test_window.moc"
