#pragma once

#include "pdf/PDFContextTypes.h"
#include "pdf/engine/PDFEngine.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <QRectF>
#include <QString>

#include <functional>
#include <set>
#include <vector>

namespace scrivola {

// Annotations are identified by object identity, never by their contents.
using AnnotationIdentity = const PDFAnnotation*;

class PDFDocumentContext;

// The format of a text box as the text-format toolbar shows and sets it.
struct TextBoxFormat {
    QString fontName{QStringLiteral("Helvetica")};
    double fontSize{14.0};
    QColor fontColor{Qt::black};
    bool bold{false};
    bool italic{false};
    bool underline{false};
    bool strikethrough{false};
    Qt::Alignment alignment{Qt::AlignLeft};
    bool operator==(const TextBoxFormat&) const = default;
};

// The free-text annotations of one page, in the page's annotation order.
struct PageAnnotations {
    int pageIndex = 0;
    std::vector<PDFAnnotationPtr> annotations;
};

// The text-box tool of one PDF tab: its mode, the format of new boxes, the inline editor's
// state and the annotation selection, with the operations that add, re-edit, move and remove
// text boxes through the context's undo history. The editing state and the selection are set
// only by those operations. Owned by its context.
class PDFTextBoxTool : public QObject {
    Q_OBJECT
public:
    explicit PDFTextBoxTool(PDFDocumentContext* context);

    // --- Mode and format of new boxes ----------------------------------------------------
    bool isTextAnnotationMode() const { return isTextAnnotationMode_; }
    TextSubMode textSubMode() const { return textSubMode_; }
    void setTextSubMode(TextSubMode value) { assign(textSubMode_, value); }
    // Turning the mode on selects boxes, turns highlight and whiteout off and shows the
    // annotations sidebar; turning it off clears the selection and hides that sidebar.
    void toggleTextAnnotationMode();
    const QString& textFontName() const { return textFontName_; }
    double textFontSize() const { return textFontSize_; }
    const QColor& textFontColor() const { return textFontColor_; }
    bool textIsBold() const { return textIsBold_; }
    bool textIsItalic() const { return textIsItalic_; }
    bool textIsUnderline() const { return textIsUnderline_; }
    bool textIsStrikethrough() const { return textIsStrikethrough_; }
    Qt::Alignment textAlignment() const { return textAlignment_; }
    void setTextFontName(const QString& value) { assign(textFontName_, value); }
    void setTextFontSize(double value) { assign(textFontSize_, value); }
    void setTextFontColor(const QColor& value) { assign(textFontColor_, value); }
    void setTextIsBold(bool value) { assign(textIsBold_, value); }
    void setTextIsItalic(bool value) { assign(textIsItalic_, value); }
    void setTextIsUnderline(bool value) { assign(textIsUnderline_, value); }
    void setTextIsStrikethrough(bool value) { assign(textIsStrikethrough_, value); }
    void setTextAlignment(Qt::Alignment value) { assign(textAlignment_, value); }
    // The format fields together.
    TextBoxFormat format() const;
    // What the format toolbar shows: the format of the first selected text box while text boxes
    // are selected and no editor is open, otherwise the tool's own format.
    TextBoxFormat shownFormat() const;
    // A format control was used: `change` is applied to the tool's format (new boxes and the open
    // editor) and, while no editor is open, to every selected text box on a page, as one undo step
    // named `name`. A box grows to the right and downwards when its text no longer fits.
    void applyFormat(const QString& name, const std::function<void(TextBoxFormat&)>& change);
    // The stored format of one of our text boxes.
    static TextBoxFormat formatOf(const PDFAnnotation& annotation);
    // The font of the tool: family textFontName with the bold and italic traits at
    // textFontSize (the system font when the family is empty).
    QFont buildFont() const;

    // --- Inline editing ------------------------------------------------------------------
    bool isInlineEditing() const { return isInlineEditing_; }
    const PDFAnnotationPtr& editingAnnotation() const { return editingAnnotation_; }
    int editingPageIndex() const { return editingPageIndex_; }
    // The page the editor lies on, should the view move it to another page before committing.
    void setEditingPageIndex(int value) { editingPageIndex_ = value; }
    // The view opened an editor on page `pageIndex`, for `existingAnnotation` or a new box
    // (null). An existing box's format is loaded into the format fields.
    void beginInlineEditing(int pageIndex, const PDFAnnotationPtr& existingAnnotation);
    // Commits the open editor: a new text box with `text` (as typed) at `bounds` (page space) on
    // the editing page, replacing the re-edited box if there is one; one undo step. Blank text
    // creates nothing, or removes the re-edited box (undoably).
    void confirmTextAnnotation(const QString& text, const QRectF& bounds);
    void cancelInlineEditing();
    // Ends editing in one place, before anything that writes, prints or changes the pages: the
    // view commits a box with text and puts a re-edited box back when the text is blank.
    void endInlineEditing();
    // The view has moved `annotation` from `from` to `to` (page space); records the undo step.
    void moveTextAnnotation(const PDFAnnotationPtr& annotation, const QRectF& from, const QRectF& to, int pageIndex);
    // Takes `annotation` off `page`, undoably.
    void removeTextAnnotation(const PDFAnnotationPtr& annotation, const PDFPagePtr& page);

    // --- Annotation selection ------------------------------------------------------------
    const std::set<AnnotationIdentity>& selectedAnnotations() const { return selectedAnnotations_; }
    const std::vector<PDFAnnotationPtr>& selectedAnnotationObjects() const { return selectedAnnotationObjects_; }
    const PDFAnnotationPtr& lastSelectedAnnotation() const { return lastSelectedAnnotation_; }
    void setLastSelectedAnnotation(const PDFAnnotationPtr& value) { assign(lastSelectedAnnotation_, value); }
    void clearAnnotationSelection();
    void selectAnnotation(const PDFAnnotationPtr& annotation);
    void toggleAnnotationSelection(const PDFAnnotationPtr& annotation);
    void selectAnnotations(const std::vector<PDFAnnotationPtr>& annotations);
    // Removes every selected annotation that is still on a page, as one undo step, and clears
    // the selection.
    void deleteSelectedAnnotations();

    // --- The annotations sidebar's view of the selection -----------------------------------
    // Every free-text annotation of the document (ours or another program's), grouped by page in
    // page order; pages without any are left out. Computed from the document on every call.
    std::vector<PageAnnotations> groupedTextAnnotations() const;
    // The groups' annotations one after the other: what "between" means for range selection.
    static std::vector<PDFAnnotationPtr> flatten(const std::vector<PageAnnotations>& groups);
    // Selects `annotation` alone and makes it the range anchor.
    void selectAnnotationFromSidebar(const PDFAnnotationPtr& annotation);
    // Toggles `annotation` in the selection and makes it the range anchor.
    void toggleAnnotationSidebarSelection(const PDFAnnotationPtr& annotation);
    // Adds every annotation of `list` from the anchor to `annotation` (either direction) to the
    // selection, keeping what is selected already, and makes `annotation` the anchor. Without an
    // anchor in the list, or with `annotation` not in it, selects `annotation` alone.
    void extendAnnotationSidebarSelection(const PDFAnnotationPtr& annotation, const std::vector<PDFAnnotationPtr>& list);

    // The annotations of `page`, just replaced by a flattened copy, can no longer be selected
    // or edited: they leave the selection, and an editor open on one of them closes.
    void forgetAnnotationsOf(const PDFPage& page);

signals:
    // The mode, the format or the selection changed.
    void changed();
    void inlineEditingChanged();

private:
    template <typename T>
    void assign(T& field, const T& value) {
        if (assignChanged(field, value)) emit changed();
    }
    void setEditing(bool editing, const PDFAnnotationPtr& annotation);
    void setFormat(const TextBoxFormat& format);
    // The selected text boxes that are on a page, in selection order.
    std::vector<PDFAnnotationPtr> selectedTextBoxes() const;
    void setSelection(std::set<AnnotationIdentity> identities, std::vector<PDFAnnotationPtr> objects);

    PDFDocumentContext* context_;
    bool isTextAnnotationMode_{false};
    TextSubMode textSubMode_{TextSubMode::select};
    QString textFontName_{QStringLiteral("Helvetica")};
    double textFontSize_{14.0};
    QColor textFontColor_{Qt::black};
    bool textIsBold_{false};
    bool textIsItalic_{false};
    bool textIsUnderline_{false};
    bool textIsStrikethrough_{false};
    Qt::Alignment textAlignment_{Qt::AlignLeft};
    bool isInlineEditing_{false};
    PDFAnnotationPtr editingAnnotation_;
    int editingPageIndex_{0};
    std::set<AnnotationIdentity> selectedAnnotations_;
    std::vector<PDFAnnotationPtr> selectedAnnotationObjects_;
    PDFAnnotationPtr lastSelectedAnnotation_;
};

}  // namespace scrivola
