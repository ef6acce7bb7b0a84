#include "app/qt/log_model.h"

int LogModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_store.Size());
}

QVariant LogModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const std::string line = m_store.Line(static_cast<std::size_t>(index.row()));
  return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

void LogModel::Append(const LogLine& line) {
  const int row = static_cast<int>(m_store.Size());
  beginInsertRows(QModelIndex(), row, row);
  m_store.Append(line);
  endInsertRows();
}

void LogModel::Clear() {
  beginResetModel();
  m_store.Clear();
  endResetModel();
}
