#pragma once

#include "workspace/DocumentTypes.h"
#include "workspace/UndoManager.h"

#include <QObject>
#include <QString>

#include <set>

namespace scrivola {

// The document owned by a tab (a PDFDocumentModel or an ImageDocumentModel).
class DocumentContent : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DocumentContent() override = default;

    // The document's file location, empty when it has none.
    virtual QString url() const = 0;
    virtual DocumentType documentType() const = 0;
    virtual bool isModified() const = 0;
    virtual QString displayName() const = 0;
    // Write the document to its own file / to the given file. Throw DocumentError.
    virtual void save() = 0;
    virtual void save(const QString& url) = 0;
    // False when a plain save cannot write the document back in its own format (no location,
    // no encoder for it, or several frames that would be lost): Save then becomes Save As.
    virtual bool canSaveInPlace() const { return !url().isEmpty(); }
    // The file name Save As proposes.
    virtual QString proposedSaveAsName() const { return displayName(); }

signals:
    void modifiedChanged(bool isModified);
    void urlChanged();
    void contentChanged();
};

// Capabilities through which menus, keys and toolbars reach either kind of document.
class ZoomCapable {
public:
    virtual ~ZoomCapable() = default;
    virtual double zoomLevel() const = 0;
    virtual void zoomIn() = 0;
    virtual void zoomOut() = 0;
    virtual void zoomToFit() = 0;
    virtual void zoomToActualSize() = 0;
};

class NavigationCapable {
public:
    virtual ~NavigationCapable() = default;
    virtual int currentPage() const = 0;
    virtual int totalPages() const = 0;
    virtual void goToNextPage() = 0;
    virtual void goToPreviousPage() = 0;
    virtual void goToPage(int index) = 0;
};

class SearchCapable {
public:
    virtual ~SearchCapable() = default;
    virtual void nextResult() = 0;
    virtual void previousResult() = 0;
};

class ExportCapable {
public:
    virtual ~ExportCapable() = default;
    // The pages or images Export acts on: the selected ones, or else the current one alone.
    virtual std::set<int> exportTargets() const = 0;
    // Writes copies of those pages or images where the user chooses; the document is untouched.
    virtual void exportItems(const std::set<int>& indices) = 0;
};

// The per-tab view state of a document (a PDFDocumentContext or an ImageDocumentContext): page,
// zoom, export and the tab's undo history, with the same signals for both kinds, so menus and
// toolbars need no casts.
//
// Every edit of the document goes through commitEdit(): it applies the edit, records its inverse
// as one named undo step, marks the document modified, raises documentRevision and updates
// canUndo/canRedo. Undo and redo re-run the two directions alternately, each marking the document
// modified again (it then differs from the file once more).
class DocumentContext : public QObject, public ZoomCapable, public NavigationCapable, public ExportCapable {
    Q_OBJECT
public:
    using Direction = UndoManager::Direction;

    using QObject::QObject;
    ~DocumentContext() override = default;
    virtual DocumentType documentType() const = 0;
    // Finishes an edit still in progress on screen (a text box being typed), so that what is
    // saved, closed, undone or counted as modified includes it.
    virtual void endPendingEdits() {}

    // Applies an edit: `apply` changes the document, `revert` takes the change back; each
    // returns false when it changed nothing. When `apply` succeeds, the edit becomes one undo step
    // named `name` (inside a group opened by the caller it joins that group's step). Returns
    // whether the document changed. Never called from inside an undo or redo.
    bool commitEdit(const QString& name, Direction apply, Direction revert);

    // The tab's single undo history, created on first use.
    UndoManager* undoManager();
    bool hasUndoManager() const { return undoManager_ != nullptr; }
    bool canUndo() const { return canUndo_; }
    bool canRedo() const { return canRedo_; }
    // Names of the steps undo() and redo() would perform ("Move Text Box"); empty when none.
    QString undoActionName() const;
    QString redoActionName() const;
    void undo();
    void redo();
    // Brings canUndo/canRedo up to the undo manager.
    void updateUndoState();
    // Change counter of the document: rises on every edit, undo, redo and closed undo group.
    int documentRevision() const { return documentRevision_; }
    void incrementDocumentRevision();
    // What the user is told when a print job could not be painted: "Failed to print: <name>".
    static QString printFailureMessage(const QString& documentName) { return QStringLiteral("Failed to print: ") + documentName; }

signals:
    void currentPageChanged();
    void zoomLevelChanged();
    void canUndoChanged();
    void canRedoChanged();
    void documentRevisionChanged();
    // An export or a print failed; `message` is what the user is told (a DocumentError's
    // description for exports).
    void failureReported(const QString& message);

protected:
    // Sets the document's modified flag.
    virtual void markDocumentModified() = 0;
    // Keeps the context's own state valid after an undo or redo changed the document.
    virtual void didUndoOrRedo() {}

private:
    void step(bool undo);
    // Deferred to the event loop, so that it never runs inside the undo manager's own call; a
    // queued call to a destroyed context is dropped with it.
    void scheduleUndoNotification(bool raisesRevision);

    UndoManager* undoManager_ = nullptr;  // child object, created on first use
    bool canUndo_ = false;
    bool canRedo_ = false;
    int documentRevision_ = 0;
    // Set while the context itself closes a step or undoes/redoes one, and so updates at once.
    bool isUpdatingItself_ = false;
};

// Zoom steps shared by both contexts: factor 1.25 between 0.1 and 10.0.
namespace Zoom {
constexpr double kStep = 1.25;
constexpr double kMinimum = 0.1;
constexpr double kMaximum = 10.0;
inline double steppedIn(double level) { const double v = level * kStep; return v > kMaximum ? kMaximum : v; }
inline double steppedOut(double level) { const double v = level / kStep; return v <= kMinimum ? kMinimum : v; }
}  // namespace Zoom

}  // namespace scrivola
