#include "gui_qt/LineListModel.h"

#include <algorithm>
#include <climits>

namespace {
// Windows-1252 at 0x80-0x9F; the five bytes the code page leaves undefined keep their C1 code
// point, as the system's own conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

CLineListModel::CLineListModel(QObject* parent) : QAbstractListModel(parent) {}

int CLineListModel::Load(const std::string& path) {
    beginResetModel();
    const int result = m_index.Build(path);
    // A list row is addressed by an int; a file with more lines shows the first INT_MAX.
    m_nRows = result == 0 ? static_cast<int>(std::min<std::size_t>(m_index.Count(), INT_MAX)) : 0;
    endResetModel();
    return result;
}

void CLineListModel::Clear() {
    if (m_nRows == 0) {
        m_index.Clear();
        return;
    }
    beginResetModel();
    m_index.Clear();
    m_nRows = 0;
    endResetModel();
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
        case Qt::ToolTipRole: {
            // Only the head of a long line is read and turned into text: the whole of a line
            // of megabytes would cost gigabytes once laid out, and the column shows far less.
            const auto row = static_cast<std::size_t>(index.row());
            std::string line;
            if (!m_index.ReadLineAt(row, line, kShownBytes)) {
                return QString();
            }
            QString text =
                VisibleText(QByteArray(line.data(), static_cast<qsizetype>(line.size())));
            if (m_index.LengthAt(row) > kShownBytes) {
                text += QChar(0x2026);  // HORIZONTAL ELLIPSIS
            }
            return text;
        }
        case RawBytesRole: {
            const std::string line = m_index.LineAt(static_cast<std::size_t>(index.row()));
            return QByteArray(line.data(), static_cast<qsizetype>(line.size()));
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignHCenter | Qt::AlignVCenter));
        default:
            return QVariant();
    }
}

QVariant CLineListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == 0) {
        if (role == Qt::DisplayRole) {
            return QStringLiteral("Content");
        }
        if (role == Qt::TextAlignmentRole) {
            return QVariant::fromValue(Qt::Alignment(Qt::AlignHCenter | Qt::AlignVCenter));
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

QString CLineListModel::VisibleText(const QByteArray& bytes) {
    QString text;
    text.resize(bytes.size());
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        char16_t u;
        if (b < 0x20) {
            u = static_cast<char16_t>(0x2400 + b);
        } else if (b == 0x7F) {
            u = 0x2421;
        } else if (b >= 0x80 && b < 0xA0) {
            u = kCp1252High[b - 0x80];
        } else {
            u = b;
        }
        *out++ = QChar(u);
    }
    return text;
}
