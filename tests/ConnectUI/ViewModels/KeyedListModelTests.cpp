#include "ConnectUI/ViewModels/KeyedListModel.hpp"
#include "tests/Support/QtApplication.hpp"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

QVariantMap row(const QString& key, double fraction = 0) {
    return {{"key", key}, {"fraction", fraction}};
}

class KeyedListModelTest : public ::testing::Test {
protected:
    void SetUp() override { testing::qtApplication(); }

    /// The keys in the model's order, as a view reads them.
    QStringList keys() const {
        QStringList shown;
        for (int i = 0; i < model.rowCount(); ++i) {
            shown << model.data(model.index(i), Qt::UserRole).toMap().value("key").toString();
        }
        return shown;
    }

    KeyedListModel model;
    // Fails the test on any inconsistent signal sequence.
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    QSignalSpy resets{&model, &QAbstractItemModel::modelReset};
    QSignalSpy changes{&model, &QAbstractItemModel::dataChanged};
    QSignalSpy inserts{&model, &QAbstractItemModel::rowsInserted};
    QSignalSpy removals{&model, &QAbstractItemModel::rowsRemoved};
};

// A progress report must not make the views rebuild every row: one changed value, one dataChanged.
TEST_F(KeyedListModelTest, AChangedValueChangesOnlyItsRow) {
    model.update({row("a"), row("b"), row("c")});
    inserts.clear();
    model.update({row("a"), row("b", 0.5), row("c")});
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes[0][0].toModelIndex().row(), 1);
    EXPECT_EQ(changes[0][1].toModelIndex().row(), 1);
    model.update({row("a"), row("b", 0.5), row("c")});
    EXPECT_EQ(changes.count(), 1) << "an equal list changes nothing";
    EXPECT_EQ(resets.count() + inserts.count() + removals.count(), 0);
}

// New batches arrive at the front, cleared ones leave from anywhere: rows move in and out one by one.
TEST_F(KeyedListModelTest, RowsComeAndGoWhereTheyAreWithoutAReset) {
    model.update({row("b"), row("d")});
    model.update({row("a"), row("b"), row("c"), row("d"), row("e")});
    EXPECT_EQ(keys(), (QStringList{"a", "b", "c", "d", "e"}));
    model.update({row("a"), row("d", 1)});
    EXPECT_EQ(keys(), (QStringList{"a", "d"}));
    EXPECT_EQ(removals.count(), 3);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(model.get(1).value("fraction").toDouble(), 1);
    EXPECT_TRUE(model.get(2).isEmpty());
}

// Rows that swap places, or keys given twice, cannot be patched in order: a reset keeps the model right.
TEST_F(KeyedListModelTest, ReorderedOrRepeatedKeysReset) {
    model.update({row("a"), row("b")});
    model.update({row("b"), row("a")});
    EXPECT_EQ(keys(), (QStringList{"b", "a"}));
    EXPECT_EQ(resets.count(), 1);
    model.update({row("x"), row("x")});
    EXPECT_EQ(keys(), (QStringList{"x", "x"}));
    EXPECT_EQ(resets.count(), 2);
    model.update({row("x")});
    EXPECT_EQ(resets.count(), 3);
}

} // namespace
} // namespace tarnwick
