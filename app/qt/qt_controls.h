// The control layer over the real widgets of the main window.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QAbstractScrollArea>
#include <QScrollBar>
#include <map>

#include "app/panel/controls.h"
#include "app/qt/log_model.h"
#include "receive/log_selection.h"

// A trackbar that tells its owner each time it has painted itself.
class PaintSlider : public QSlider {
  Q_OBJECT
 public:
  using QSlider::QSlider;
  // While quiet, a paint is only a paint: a picture of the window is drawn
  // without the frames a slider's repaint would send.
  void setQuiet(bool quiet) { m_quiet = quiet; }
 signals:
  void painted();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool m_quiet = false;
};

// A push button whose caption wraps onto a second line.
class WrapButton : public QPushButton {
  Q_OBJECT
 public:
  WrapButton(const QString& caption, QWidget* parent);
  QString caption() const { return m_label->text(); }
  QLabel* label() const { return m_label; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* m_label;
};

// The received-data log's list: uniform rows drawn straight from the model's
// line store, so that appending costs the same at line 10 and at line
// 1,000,000 (a stock item view lays out every row again on each insert).
// A scroll bar that repaints only when what it shows changes: a poll that
// grows a long log changes the range but moves the slider by no pixel, and
// repainting the bar then cost more than the rest of the poll.
class QuietScrollBar : public QScrollBar {
  Q_OBJECT
 public:
  QuietScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}
  int repaints() const { return m_repaints; }

 protected:
  void sliderChange(SliderChange change) override;

 private:
  QRect m_slider;       // where the slider was drawn last
  int m_ends = -1;      // at the start, at the end, both (bits): the arrows' look
  int m_repaints = 0;   // for the tests
};

class LogView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  LogView(LogModel* model, QWidget* parent);
  int currentRow() const { return m_selection.Current(); }
  void setCurrentRow(int row);
  const LogSelection& selection() const { return m_selection; }
  void selectAll();
  void copy() const;  // the selected rows to the clipboard, as shown
  int rowHeight() const { return m_rowHeight; }
  int firstVisibleRow() const { return verticalScrollBar()->value(); }
  int rowCount() const;
  std::string rowText(int row) const;
  QRect rowRect(int row) const;  // in the viewport; empty when the row does not show

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void RowsAppended(int first, int last);
  void Reset();
  void UpdateScrollBars();
  int VisibleRows() const;

  LogModel* m_model;
  int m_rowHeight;
  int m_widest = 0;
  LogSelection m_selection;
  bool m_scrollBarsPending = false;
  void Select(int row, bool extend);
  std::size_t m_longestBytes = 0;
};

// The always-open list of the received-data log with its edit field above.
class LogBox : public QWidget {
  Q_OBJECT
 public:
  explicit LogBox(QWidget* parent);
  LogModel* model() const { return m_model; }
  LogView* view() const { return m_view; }
  QLineEdit* edit() const { return m_edit; }

 private:
  LogModel* m_model;
  LogView* m_view;
  QLineEdit* m_edit;
};

class QtControls : public IControls {
 public:
  void Register(int id, ControlKind kind, QWidget* widget);
  QWidget* Widget(int id) const;
  ControlKind Kind(int id) const;
  int IdOf(const QWidget* widget) const;  // the control a widget belongs to, 0 if none

  bool Exists(int id) const override { return m_controls.count(id) != 0; }
  std::string GetWindowText(int id) const override;
  void SetWindowText(int id, const std::string& text) override;
  int GetCheck(int id) const override;
  void SetCheck(int id, int state) override;
  int GetCurSel(int id) const override;
  void SetCurSel(int id, int index) override;
  int GetCount(int id) const override;
  std::string GetLBText(int id, int index) const override;
  void AddLogLine(int id, const LogLine& line) override;
  void ResetContent(int id) override;
  int GetPos(int id) const override;
  void SetPos(int id, int pos, bool redraw) override;
  void SetRange(int id, int min, int max) override;
  int GetRangeMin(int id) const override;
  int GetRangeMax(int id) const override;
  void EnableWindow(int id, bool enable) override;
  bool IsWindowEnabled(int id) const override;
  void SetToolTip(int id, const std::string& text) override;
  void ShowWindow(int id, bool show) override;
  bool IsWindowVisible(int id) const override;
  void SetFocus(int id) override;
  int GetFocus() const override;

 private:
  struct Entry {
    ControlKind kind;
    QWidget* widget;
  };
  std::map<int, Entry> m_controls;
};
