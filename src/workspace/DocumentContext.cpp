#include "workspace/DocumentContent.h"

#include <QMetaObject>
#include <QScopedValueRollback>

namespace scrivola {

bool DocumentContext::commitEdit(const QString& name, Direction apply, Direction revert) {
    if (!apply || !revert || !apply()) return false;
    // Each later run of a direction leaves the document different from its file again.
    const auto marking = [this](Direction direction) {
        return [this, direction = std::move(direction)] {
            if (!direction()) return false;
            markDocumentModified();
            return true;
        };
    };
    UndoManager* manager = undoManager();
    {
        QScopedValueRollback<bool> updating(isUpdatingItself_, true);
        UndoGroup group(*manager, name);
        manager->registerReversible(marking(std::move(revert)), marking(std::move(apply)));
    }
    markDocumentModified();
    incrementDocumentRevision();
    updateUndoState();
    return true;
}

UndoManager* DocumentContext::undoManager() {
    if (undoManager_) return undoManager_;
    undoManager_ = new UndoManager(this);
    // Steps closed, undone or redone on the manager directly are noticed here; those the
    // context performs itself it reports at once.
    const auto notice = [this](bool raisesRevision) {
        return [this, raisesRevision] {
            if (!isUpdatingItself_) scheduleUndoNotification(raisesRevision);
        };
    };
    connect(undoManager_, &UndoManager::didUndo, this, notice(true));
    connect(undoManager_, &UndoManager::didRedo, this, notice(true));
    connect(undoManager_, &UndoManager::didCloseUndoGroup, this, notice(true));
    // Clearing the history changes what can be undone without any of the above.
    connect(undoManager_, &UndoManager::stateChanged, this, notice(false));
    return undoManager_;
}

void DocumentContext::scheduleUndoNotification(bool raisesRevision) {
    QMetaObject::invokeMethod(
        this,
        [this, raisesRevision] {
            if (raisesRevision) incrementDocumentRevision();
            updateUndoState();
        },
        Qt::QueuedConnection);
}

QString DocumentContext::undoActionName() const { return undoManager_ ? undoManager_->undoActionName() : QString(); }
QString DocumentContext::redoActionName() const { return undoManager_ ? undoManager_->redoActionName() : QString(); }

void DocumentContext::undo() { step(true); }
void DocumentContext::redo() { step(false); }

void DocumentContext::step(bool undo) {
    endPendingEdits();
    if (!undoManager_ || !(undo ? undoManager_->canUndo() : undoManager_->canRedo())) return;
    {
        QScopedValueRollback<bool> updating(isUpdatingItself_, true);
        undo ? undoManager_->undo() : undoManager_->redo();
    }
    incrementDocumentRevision();
    updateUndoState();
    didUndoOrRedo();
}

void DocumentContext::updateUndoState() {
    const bool undoable = undoManager_ && undoManager_->canUndo();
    const bool redoable = undoManager_ && undoManager_->canRedo();
    if (canUndo_ != undoable) {
        canUndo_ = undoable;
        emit canUndoChanged();
    }
    if (canRedo_ != redoable) {
        canRedo_ = redoable;
        emit canRedoChanged();
    }
}

void DocumentContext::incrementDocumentRevision() {
    ++documentRevision_;
    emit documentRevisionChanged();
}

}  // namespace scrivola
