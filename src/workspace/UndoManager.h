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
// Undoing a step runs its actions in reverse order of registration. A step may carry a name for
// the menus ("Move Text Box"); the step that undoing or redoing it leaves on the other stack
// keeps that name.
class UndoManager : public QObject {
    Q_OBJECT
public:
    using Action = std::function<void()>;
    // One direction of a reversible change; false when it changed nothing.
    using Direction = std::function<bool()>;

    explicit UndoManager(QObject* parent = nullptr);

    void registerUndo(Action action);
    // Registers `undo` as the inverse of a change just made; when it runs, it registers `redo`
    // as its own inverse, and so on, so undo and redo alternate for ever. A direction that
    // changes nothing registers nothing.
    void registerReversible(Direction undo, Direction redo);
    // `name` names the step being opened, unless an enclosing group already has a name.
    void beginUndoGrouping(const QString& name = {});
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
    // The names of the steps undo() and redo() would perform; empty when unnamed or none.
    QString undoActionName() const;
    QString redoActionName() const;

signals:
    void didUndo();
    void didRedo();
    void didCloseUndoGroup();
    void stateChanged();

private:
    struct Group {
        std::vector<Action> actions;
        QString name;
    };
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
    explicit UndoGroup(UndoManager& manager, const QString& name = {}) : manager_(manager) {
        manager_.beginUndoGrouping(name);
    }
    ~UndoGroup() { manager_.endUndoGrouping(); }
    UndoGroup(const UndoGroup&) = delete;
    UndoGroup& operator=(const UndoGroup&) = delete;

private:
    UndoManager& manager_;
};

}  // namespace scrivola
