#pragma once
// The rows of a virtual list: the model keeps no text and no per-row data, only the number of
// rows the ui gave it; each row's text is asked of the ui's CListSource when the list draws it
// (and shown as its tooltip too). One column, with the heading and alignment the ui gave it.
// GUI thread only; never fails (a row without a source shows empty).
#include <QAbstractListModel>
#include <QString>

class CListSource;

class CLineListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit CLineListModel(QObject* parent = nullptr);

    void SetSource(const CListSource* pSource);
    // The number of rows; every row is read afresh from the source.
    void SetRowCount(int nCount);
    void SetHeading(const QString& heading, Qt::Alignment alignment);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    const CListSource* m_pSource = nullptr;
    int m_nRows = 0;
    QString m_heading;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
};
