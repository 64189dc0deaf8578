#include "gui_qt/LineListModel.h"

#include "ui/ListSource.h"

CLineListModel::CLineListModel(QObject* parent) : QAbstractListModel(parent) {}

void CLineListModel::SetSource(const CListSource* pSource) {
    beginResetModel();
    m_pSource = pSource;
    endResetModel();
}

void CLineListModel::SetRowCount(int nCount) {
    beginResetModel();
    m_nRows = nCount < 0 ? 0 : nCount;
    endResetModel();
}

void CLineListModel::SetHeading(const QString& heading, Qt::Alignment alignment) {
    m_heading = heading;
    m_alignment = alignment;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

int CLineListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_nRows;
}

QVariant CLineListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= m_nRows || index.column() != 0) {
        return QVariant();
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return m_pSource != nullptr ? QString::fromStdString(m_pSource->ItemText(index.row()))
                                        : QString();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(m_alignment);
        default:
            return QVariant();
    }
}

QVariant CLineListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == 0) {
        if (role == Qt::DisplayRole) {
            return m_heading;
        }
        if (role == Qt::TextAlignmentRole) {
            return QVariant::fromValue(m_alignment);
        }
    }
    return QAbstractListModel::headerData(section, orientation, role);
}

Qt::ItemFlags CLineListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
