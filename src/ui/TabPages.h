#pragma once

#include <QPointer>
#include <QSplitter>
#include <QWidget>

namespace scrivola {

class AnnotationsSidebarView;
class ImageDocumentContext;
class ImageThumbnailSidebarView;
class PDFDocumentContext;
class ScrivolaPDFView;
class SignatureSidebarView;
class SignatureStorageService;
class ThumbnailSidebarView;

// Shows or hides a sidebar of `splitter` and, when shown, makes it `width` pixels wide (at least
// its minimum), taking the room from the splitter's stretching widget or giving it back.
void placeSidebar(QSplitter* splitter, QWidget* sidebar, bool visible, double width);

// A PDF tab in the window: its page thumbnails, its page view, and on the right its text
// annotations or its signatures and stamps while the context shows them. The right-hand
// sidebars are made when first shown.
class PdfTabPage : public QSplitter {
    Q_OBJECT
public:
    PdfTabPage(PDFDocumentContext* context, SignatureStorageService* storage, QWidget* parent = nullptr);

    ScrivolaPDFView* view() const { return view_; }
    ThumbnailSidebarView* thumbnails() const { return thumbnails_; }
    AnnotationsSidebarView* annotations() const { return annotations_; }
    SignatureSidebarView* signatures() const { return signatures_; }

private:
    void placePanels();

    QPointer<PDFDocumentContext> context_;
    QPointer<SignatureStorageService> storage_;
    ThumbnailSidebarView* thumbnails_ = nullptr;
    ScrivolaPDFView* view_ = nullptr;
    AnnotationsSidebarView* annotations_ = nullptr;
    SignatureSidebarView* signatures_ = nullptr;
};

// An image tab in the window: the collection's thumbnail strip beside the canvas (its pane's
// canvas, lent to the page shown) and the bar with the file name and the image count.
class ImageTabPage : public QWidget {
    Q_OBJECT
public:
    explicit ImageTabPage(ImageDocumentContext* context, QWidget* parent = nullptr);
    // Gives the canvas back to where it came from: it outlives the page.
    ~ImageTabPage() override;

    // Puts a pane's canvas into this page, beside the strip.
    void adoptCanvas(QWidget* canvas);
    ImageThumbnailSidebarView* strip() const { return strip_; }

private:
    void placeStrip();
    void returnCanvas();

    QPointer<ImageDocumentContext> context_;
    QPointer<QWidget> canvas_;
    // The canvas's parent before it was lent.
    QPointer<QWidget> canvasHome_;
    QSplitter* splitter_ = nullptr;
    ImageThumbnailSidebarView* strip_ = nullptr;
};

}  // namespace scrivola
