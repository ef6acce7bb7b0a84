// The received-data log as a model over the packed line store: the view asks
// only for the rows it shows, so a million lines cost no widgets.
#pragma once

#include <QAbstractListModel>

#include "receive/log_store.h"

class LogModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using QAbstractListModel::QAbstractListModel;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void Append(const LogLine& line);
  void Clear();
  const LogStore& Store() const { return m_store; }

 private:
  LogStore m_store;
};
