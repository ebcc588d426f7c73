#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace scrivola {

// A tab's undo history with register-the-inverse semantics:
// - an action registered while undoing becomes a redo step, one registered while redoing an undo step;
// - any other registration clears the redo stack;
// - registrations between beginUndoGrouping() and the matching endUndoGrouping() form one step;
//   a registration outside any group forms a step of its own.
// Undoing a step runs its actions in reverse order of registration.
class UndoManager : public QObject {
    Q_OBJECT
public:
    using Action = std::function<void()>;

    explicit UndoManager(QObject* parent = nullptr);

    void registerUndo(Action action);
    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return groupingLevel_; }

    bool canUndo() const;
    bool canRedo() const;
    bool isUndoing() const { return state_ == State::undoing; }
    bool isRedoing() const { return state_ == State::redoing; }
    void undo();
    void redo();
    void removeAllActions();
    int undoCount() const { return int(undoStack_.size()); }
    int redoCount() const { return int(redoStack_.size()); }

signals:
    void didUndo();
    void didRedo();
    void didCloseUndoGroup();
    void stateChanged();

private:
    using Group = std::vector<Action>;
    enum class State { idle, undoing, redoing };
    void perform(std::vector<Group>& from, State state);

    std::vector<Group> undoStack_;
    std::vector<Group> redoStack_;
    Group openGroup_;
    int groupingLevel_ = 0;
    State state_ = State::idle;
};

// Opens an undo group for its lifetime.
class UndoGroup {
public:
    explicit UndoGroup(UndoManager& manager) : manager_(manager) { manager_.beginUndoGrouping(); }
    ~UndoGroup() { manager_.endUndoGrouping(); }
    UndoGroup(const UndoGroup&) = delete;
    UndoGroup& operator=(const UndoGroup&) = delete;

private:
    UndoManager& manager_;
};

}  // namespace scrivola
