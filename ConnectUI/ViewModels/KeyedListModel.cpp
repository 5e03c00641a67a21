#include "ConnectUI/ViewModels/KeyedListModel.hpp"

#include <QSet>

namespace tarnwick {
namespace {

constexpr int rowRole = Qt::UserRole;

QString keyOf(const QVariantMap& row) {
    return row.value("key").toString();
}

QSet<QString> keysOf(const KeyedListModel::Rows& rows) {
    QSet<QString> keys;
    for (const auto& row : rows) {
        keys.insert(keyOf(row));
    }
    return keys;
}

} // namespace

KeyedListModel::KeyedListModel(QObject* parent) : QAbstractListModel(parent) {}

void KeyedListModel::update(const Rows& rows) {
    const int before = count();
    if (canApplyInPlace(rows)) {
        removeRowsMissingFrom(rows);
        insertAndChange(rows);
    } else {
        beginResetModel();
        rows_ = rows;
        endResetModel();
    }
    if (count() != before) {
        Q_EMIT countChanged();
    }
}

bool KeyedListModel::canApplyInPlace(const Rows& rows) const {
    const QSet<QString> incoming = keysOf(rows);
    if (incoming.size() != rows.size() || keysOf(rows_).size() != rows_.size()) {
        return false;
    }
    // The staying rows, in the old order, must appear in the same order in the new list.
    qsizetype next = 0;
    for (const auto& row : rows_) {
        if (!incoming.contains(keyOf(row))) {
            continue;
        }
        while (next < rows.size() && keyOf(rows[next]) != keyOf(row)) {
            ++next;
        }
        if (next == rows.size()) {
            return false;
        }
        ++next;
    }
    return true;
}

void KeyedListModel::removeRowsMissingFrom(const Rows& rows) {
    const QSet<QString> incoming = keysOf(rows);
    for (int row = count() - 1; row >= 0; --row) {
        if (!incoming.contains(keyOf(rows_[row]))) {
            beginRemoveRows({}, row, row);
            rows_.removeAt(row);
            endRemoveRows();
        }
    }
}

// What is left is a subsequence of `rows`: walk both, inserting what is new and refreshing what changed.
void KeyedListModel::insertAndChange(const Rows& rows) {
    for (int row = 0; row < rows.size(); ++row) {
        if (row < count() && keyOf(rows_[row]) == keyOf(rows[row])) {
            if (rows_[row] != rows[row]) {
                rows_[row] = rows[row];
                Q_EMIT dataChanged(index(row), index(row), {rowRole});
            }
            continue;
        }
        beginInsertRows({}, row, row);
        rows_.insert(row, rows[row]);
        endInsertRows();
    }
}

QVariantMap KeyedListModel::get(int row) const {
    return row >= 0 && row < count() ? rows_[row] : QVariantMap();
}

int KeyedListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant KeyedListModel::data(const QModelIndex& index, int role) const {
    if (role != rowRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    return rows_[index.row()];
}

QHash<int, QByteArray> KeyedListModel::roleNames() const {
    return {{rowRole, "modelData"}};
}

} // namespace tarnwick
