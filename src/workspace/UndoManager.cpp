#include "workspace/UndoManager.h"

namespace scrivola {

UndoManager::UndoManager(QObject* parent) : QObject(parent) {}

void UndoManager::registerUndo(Action action) {
    if (!action) return;
    openGroup_.push_back(std::move(action));
    if (groupingLevel_ == 0) {
        // A registration outside any group is a step of its own.
        groupingLevel_ = 1;
        endUndoGrouping();
    }
}

void UndoManager::beginUndoGrouping() { ++groupingLevel_; }

void UndoManager::endUndoGrouping() {
    if (groupingLevel_ == 0) return;
    if (--groupingLevel_ > 0) return;
    if (openGroup_.empty()) return;
    Group group = std::move(openGroup_);
    openGroup_.clear();
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

void UndoManager::perform(std::vector<Group>& from, State state) {
    if (from.empty() || state_ != State::idle) return;
    // Close a group left open by a caller first, so it is not mixed with the inverse actions.
    while (groupingLevel_ > 0) endUndoGrouping();
    Group group = std::move(from.back());
    from.pop_back();
    state_ = state;
    beginUndoGrouping();
    // Inverse actions registered while performing form one step on the other stack. The level
    // is reset rather than decremented so that an action leaving a group unbalanced cannot
    // corrupt it; an action that throws still leaves the manager idle and usable, with the
    // inverses of the actions already run kept as the step on the other stack.
    auto finish = [&] {
        groupingLevel_ = 0;
        if (!openGroup_.empty()) {
            Group inverse = std::move(openGroup_);
            openGroup_.clear();
            (state == State::undoing ? redoStack_ : undoStack_).push_back(std::move(inverse));
        }
        state_ = State::idle;
    };
    try {
        for (auto it = group.rbegin(); it != group.rend(); ++it) (*it)();
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
    openGroup_.clear();
    groupingLevel_ = 0;
    emit stateChanged();
}

}  // namespace scrivola
