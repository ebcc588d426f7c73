#include "workspace/UndoManager.h"

#include <utility>

namespace scrivola {

UndoManager::UndoManager(QObject* parent) : QObject(parent) {}

void UndoManager::registerUndo(Action action) {
    if (!action) return;
    openGroup_.actions.push_back(std::move(action));
    if (groupingLevel_ == 0) {
        // A registration outside any group is a step of its own.
        groupingLevel_ = 1;
        endUndoGrouping();
    }
}

void UndoManager::registerReversible(Direction undo, Direction redo) {
    if (!undo || !redo) return;
    registerUndo([this, undo = std::move(undo), redo = std::move(redo)] {
        if (undo()) registerReversible(redo, undo);
    });
}

void UndoManager::beginUndoGrouping(const QString& name) {
    ++groupingLevel_;
    if (openGroup_.name.isEmpty()) openGroup_.name = name;
}

void UndoManager::endUndoGrouping() {
    if (groupingLevel_ == 0) return;
    if (--groupingLevel_ > 0) return;
    Group group = std::exchange(openGroup_, {});
    if (group.actions.empty()) return;
    switch (state_) {
    case State::undoing: redoStack_.push_back(std::move(group)); break;
    case State::redoing: undoStack_.push_back(std::move(group)); break;
    case State::idle:
        undoStack_.push_back(std::move(group));
        redoStack_.clear();
        break;
    }
    emit didCloseUndoGroup();
    emit stateChanged();
}

bool UndoManager::canUndo() const { return !undoStack_.empty() && state_ == State::idle; }
bool UndoManager::canRedo() const { return !redoStack_.empty() && state_ == State::idle; }
QString UndoManager::undoActionName() const { return undoStack_.empty() ? QString() : undoStack_.back().name; }
QString UndoManager::redoActionName() const { return redoStack_.empty() ? QString() : redoStack_.back().name; }

void UndoManager::perform(std::vector<Group>& from, State state) {
    if (from.empty() || state_ != State::idle) return;
    // Close a group left open by a caller first, so it is not mixed with the inverse actions.
    while (groupingLevel_ > 0) endUndoGrouping();
    Group group = std::move(from.back());
    from.pop_back();
    state_ = state;
    // The inverse step is the same change seen from the other side: it keeps the name.
    beginUndoGrouping(group.name);
    // Inverse actions registered while performing form one step on the other stack. The level
    // is reset rather than decremented so that an action leaving a group unbalanced cannot
    // corrupt it; an action that throws still leaves the manager idle and usable, with the
    // inverses of the actions already run kept as the step on the other stack.
    auto finish = [&] {
        groupingLevel_ = 0;
        Group inverse = std::exchange(openGroup_, {});
        if (!inverse.actions.empty())
            (state == State::undoing ? redoStack_ : undoStack_).push_back(std::move(inverse));
        state_ = State::idle;
    };
    try {
        for (auto it = group.actions.rbegin(); it != group.actions.rend(); ++it) (*it)();
    } catch (...) {
        finish();
        emit stateChanged();
        throw;
    }
    finish();
    if (state == State::undoing)
        emit didUndo();
    else
        emit didRedo();
    emit stateChanged();
}

void UndoManager::undo() { perform(undoStack_, State::undoing); }
void UndoManager::redo() { perform(redoStack_, State::redoing); }

void UndoManager::removeAllActions() {
    undoStack_.clear();
    redoStack_.clear();
    openGroup_ = {};
    groupingLevel_ = 0;
    emit stateChanged();
}

}  // namespace scrivola
