#include "workspace/UndoManager.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

using namespace scrivola;

namespace {

// A tiny document: a list of values edited through operations that register their inverse.
struct Model {
    UndoManager& undo;
    QList<int> values;
    QStringList log;

    void set(int index, int value) {
        const int old = values[index];
        values[index] = value;
        log << QString("set %1=%2").arg(index).arg(value);
        undo.registerUndo([this, index, old] { set(index, old); });
    }
    void append(int value) {
        values.append(value);
        undo.registerUndo([this] { removeLast(); });
    }
    void removeLast() {
        const int value = values.takeLast();
        // The restoring action opens its own group, as multi-step inverses do.
        UndoGroup group(undo);
        undo.registerUndo([this, value] { append(value); });
    }
};

}  // namespace

TEST(UndoManagerTest, InverseOfTheInverseMakesRedoWork) {
    UndoManager undo;
    Model model{undo, {0, 0}, {}};
    model.set(0, 5);
    model.set(0, 7);

    undo.undo();
    EXPECT_EQ(model.values[0], 5);
    undo.undo();
    undo.undo();  // nothing left: no effect
    EXPECT_EQ(model.values[0], 0);

    undo.redo();
    undo.redo();
    EXPECT_EQ(model.values[0], 7);
    EXPECT_FALSE(undo.canRedo());
    // Repeated cycles keep working: each redo registered a fresh undo.
    undo.undo();
    undo.redo();
    undo.undo();
    EXPECT_EQ(model.values[0], 5);
    EXPECT_EQ(undo.undoCount(), 1);
    EXPECT_EQ(undo.redoCount(), 1);
    // A new edit clears what could be redone.
    model.set(0, 9);
    EXPECT_FALSE(undo.canRedo());
    undo.undo();
    EXPECT_EQ(model.values[0], 5);
}

TEST(UndoManagerTest, GroupIsOneStepUndoneInReverseOrder) {
    UndoManager undo;
    Model model{undo, {1, 2, 3}, {}};
    {
        UndoGroup group(undo);
        model.set(0, 10);
        model.set(2, 30);
        model.set(0, 100);
        EXPECT_EQ(undo.undoCount(), 0);  // not a step until the group closes
    }
    EXPECT_EQ(undo.undoCount(), 1);
    model.log.clear();
    undo.undo();
    EXPECT_EQ(model.values, QList<int>({1, 2, 3}));
    EXPECT_EQ(model.log, QStringList({"set 0=10", "set 2=3", "set 0=1"}));
    undo.redo();
    EXPECT_EQ(model.values, QList<int>({100, 2, 30}));
    EXPECT_EQ(undo.undoCount(), 1);
}

TEST(UndoManagerTest, NestedGroupsCloseOnceAtTheOutermostEnd) {
    UndoManager undo;
    Model model{undo, {0, 0}, {}};
    QSignalSpy closed(&undo, &UndoManager::didCloseUndoGroup);
    undo.beginUndoGrouping();
    model.set(0, 1);
    undo.beginUndoGrouping();
    model.set(1, 2);
    undo.endUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 1);
    EXPECT_EQ(closed.count(), 0);
    undo.endUndoGrouping();
    undo.endUndoGrouping();  // unbalanced end: ignored
    EXPECT_EQ(undo.groupingLevel(), 0);
    { UndoGroup empty(undo); }  // no step, closes nothing
    EXPECT_EQ(undo.undoCount(), 1);
    EXPECT_EQ(closed.count(), 1);

    undo.undo();
    EXPECT_EQ(model.values, QList<int>({0, 0}));

    // Undo closes a group left open first, and undoes it.
    model.set(0, 1);
    undo.beginUndoGrouping();
    model.set(1, 2);
    undo.undo();
    EXPECT_EQ(model.values, QList<int>({1, 0}));
    EXPECT_EQ(undo.groupingLevel(), 0);
}

TEST(UndoManagerTest, InverseThatOpensItsOwnGroupStaysOneStep) {
    UndoManager undo;
    Model model{undo, {}, {}};
    {
        UndoGroup group(undo);
        model.append(1);
        model.append(2);
    }
    undo.undo();
    EXPECT_TRUE(model.values.isEmpty());
    undo.redo();
    EXPECT_EQ(model.values, QList<int>({1, 2}));
    EXPECT_EQ(undo.undoCount(), 1);
}

TEST(UndoManagerTest, SignalsAndStateDuringUndo) {
    UndoManager undo;
    Model model{undo, {0}, {}};
    QSignalSpy didUndo(&undo, &UndoManager::didUndo);
    QSignalSpy didRedo(&undo, &UndoManager::didRedo);
    QSignalSpy closed(&undo, &UndoManager::didCloseUndoGroup);
    QSignalSpy changed(&undo, &UndoManager::stateChanged);

    model.set(0, 1);  // a registration outside any group is its own step
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(changed.count(), 1);

    bool sawUndoing = false;
    undo.registerUndo([&] {
        sawUndoing = undo.isUndoing();
        undo.undo();  // re-entrant undo is ignored
    });
    undo.undo();
    EXPECT_TRUE(sawUndoing);
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_EQ(didUndo.count(), 1);
    EXPECT_EQ(closed.count(), 2);  // undoing does not report a closed group
    EXPECT_EQ(model.values[0], 1);
    EXPECT_EQ(undo.redoCount(), 0);  // that action registered no inverse

    undo.undo();
    undo.redo();
    EXPECT_EQ(didRedo.count(), 1);
    EXPECT_EQ(model.values[0], 1);
    undo.removeAllActions();
    undo.registerUndo({});  // an empty action is not a step
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManagerTest, ThrowingOrUnbalancedActionsLeaveTheManagerUsable) {
    UndoManager undo;
    Model model{undo, {0, 0}, {}};
    {
        UndoGroup group(undo);
        undo.registerUndo([] { throw std::runtime_error("page gone"); });
        model.set(0, 1);
    }
    // The set is undone first (reverse order), then the failing action throws.
    EXPECT_THROW(undo.undo(), std::runtime_error);
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_EQ(undo.groupingLevel(), 0);
    EXPECT_EQ(model.values[0], 0);
    // What was undone before the failure can be redone.
    ASSERT_TRUE(undo.canRedo());
    undo.redo();
    EXPECT_EQ(model.values[0], 1);

    // An action that leaves a group open does not swallow later edits.
    undo.removeAllActions();
    undo.registerUndo([&] { undo.beginUndoGrouping(); });
    undo.undo();
    EXPECT_EQ(undo.groupingLevel(), 0);
    model.set(1, 5);
    EXPECT_EQ(undo.undoCount(), 1);
    undo.undo();
    EXPECT_EQ(model.values[1], 0);
}

TEST(UndoManagerTest, ReversibleStepsKeepTheirNameThroughUndoAndRedo) {
    UndoManager undo;
    int value = 0;
    const auto setTo = [&](int v) { return [&value, v] { return std::exchange(value, v) != v; }; };
    {
        UndoGroup outer(undo, QStringLiteral("Move Page"));
        UndoGroup inner(undo, QStringLiteral("Rotate Page"));  // an enclosing name wins
        value = 1;
        undo.registerReversible(setTo(0), setTo(1));
    }
    {
        UndoGroup unnamed(undo);
        UndoGroup named(undo, QStringLiteral("Whiteout"));  // names an unnamed enclosing group
        value = 2;
        undo.registerReversible(setTo(1), setTo(2));
    }
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Whiteout"));
    undo.undo();
    undo.undo();
    EXPECT_EQ(value, 0);
    EXPECT_EQ(undo.redoActionName(), QStringLiteral("Move Page"));
    EXPECT_TRUE(undo.undoActionName().isEmpty());
    for (int cycle = 0; cycle < 2; ++cycle) {  // the directions alternate for ever
        undo.redo();
        undo.redo();
        EXPECT_EQ(value, 2);
        EXPECT_EQ(undo.undoActionName(), QStringLiteral("Whiteout"));
        undo.undo();
        EXPECT_EQ(value, 1);
        EXPECT_EQ(undo.undoActionName(), QStringLiteral("Move Page"));
        EXPECT_EQ(undo.redoActionName(), QStringLiteral("Whiteout"));
        undo.undo();
    }

    // A direction that changes nothing leaves no step to go back.
    value = 1;
    undo.redo();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(undo.redoActionName(), QStringLiteral("Whiteout"));
}
