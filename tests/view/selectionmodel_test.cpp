// The shared selection: one Changed per real change, and the range kept across unselecting.
#include "view/selectionmodel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace orvella {
namespace {

TEST(SelectionModel, ChangedOncePerRealChangeAndTheRangeOutlivesUnselecting) {
    TSelectionModel model;
    QSignalSpy changed(&model, &TSelectionModel::Changed);
    EXPECT_FALSE(model.Selected());
    EXPECT_TRUE(model.Milliseconds());

    model.Set(300, 100, true); // kept as set: readers put a typed range in order themselves
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(model.Start(), 300u);
    EXPECT_EQ(model.Stop(), 100u);

    model.Set(300, 100, true);
    model.SetMilliseconds(true);
    EXPECT_EQ(changed.count(), 1) << "nothing changed";

    model.SetSelected(false);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(model.Start(), 300u);
    EXPECT_EQ(model.Stop(), 100u);

    model.SetRange(10, 20);
    EXPECT_FALSE(model.Selected()) << "SetRange keeps the selected state";
    model.SetMilliseconds(false);
    EXPECT_EQ(changed.count(), 4);
    EXPECT_FALSE(model.Milliseconds());
}

} // namespace
} // namespace orvella
