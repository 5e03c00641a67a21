#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QVariantMap>

namespace tarnwick {

/// A list the views show, each row a map of plain values with a unique "key". A new list is applied as
/// the row changes that lead to it (removed rows, inserted rows, changed rows), so a progress report
/// changes one row and the views keep every other delegate. Delegates read the row as `modelData`.
class KeyedListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    using Rows = QList<QVariantMap>;

    explicit KeyedListModel(QObject* parent = nullptr);

    /// Makes the rows equal to `rows`. Rows that stay keep their order relative to each other in every
    /// list the application shows; when they do not, or keys repeat, the model is reset instead.
    void update(const Rows& rows);

    const Rows& rows() const { return rows_; }
    int count() const { return static_cast<int>(rows_.size()); }
    /// The row's values; empty outside the list.
    Q_INVOKABLE QVariantMap get(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void countChanged();

private:
    /// Whether the rows that stay keep their order and every key is unique.
    bool canApplyInPlace(const Rows& rows) const;
    void removeRowsMissingFrom(const Rows& rows);
    void insertAndChange(const Rows& rows);

    Rows rows_;
};

} // namespace tarnwick
