#pragma once

#include "workspace/DocumentTypes.h"

#include <QObject>
#include <QString>

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

// The per-tab view state of a document (a PDFDocumentContext or an ImageDocumentContext).
class DocumentContext : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DocumentContext() override = default;
    virtual DocumentType documentType() const = 0;
    // Finishes an edit still in progress on screen (a text box being typed), so that what is
    // saved, closed or counted as modified includes it.
    virtual void endPendingEdits() {}
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
