#pragma once

// The PDF engine layer: the only code that talks to the PDF library. Everything above it sees
// these RAII C++ types, Qt value types and exceptions; no library header leaks out of here.
//
// Coordinates ("page space"): PDF points, origin at the bottom-left corner of the page's media
// box, y up, before the page's /Rotate is applied. The media box therefore always reads
// (0, 0, width, height). Conversion to and from the library's own spaces happens only in this
// folder.
//
// Threads: documents, pages, annotations and selections are used on the main thread only.
// PDFDisplayList may be rendered on any thread (each thread gets its own cloned library context).
//
// Errors: reading accessors never throw; when the library fails they give empty or default
// values (an empty text, no annotations, a null image). Loading throws as documented on load().
// Operations that change a document throw PDFEngineError(operationFailed) when the library
// fails; writeToBuffer() throws writeFailed; write() only returns false.
//
// Identity: a page object stands for its page dictionary for the document's lifetime, in the
// tree or removed; an annotation object stands for its annotation dictionary, on a page or not.

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace scrivola {

class PDFDocument;
class PDFPage;
class PDFAnnotation;
struct PDFDocumentImpl;
struct PDFPageImpl;
struct PDFAnnotationImpl;
struct PDFDisplayListImpl;
struct PDFCancelTokenImpl;
struct PDFEngineAccess;  // engine-internal access to the private state

using PDFDocumentPtr = std::shared_ptr<PDFDocument>;
using PDFPagePtr = std::shared_ptr<PDFPage>;
using PDFAnnotationPtr = std::shared_ptr<PDFAnnotation>;

// Failure inside the engine. Models translate it into DocumentError.
class PDFEngineError : public std::runtime_error {
public:
    enum class Kind { loadFailed, corruptedFile, passwordProtected, writeFailed, operationFailed };
    PDFEngineError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

enum class PDFBox { mediaBox, cropBox, bleedBox, trimBox, artBox };

// One character of a page's text with its box in page space.
struct PDFTextChar {
    char32_t character = 0;
    QRectF bounds;
};

struct PDFTextLine {
    QString text;
    QRectF bounds;
    std::vector<PDFTextChar> chars;
};

struct PDFTextBlock {
    std::vector<PDFTextLine> lines;
};

struct PDFPageText {
    std::vector<PDFTextBlock> blocks;
    QString plainText() const;  // lines joined by '\n', blocks separated by an empty line
};

// A link on a page: to a page of the same document, to a URI, or (neither set) elsewhere.
struct PDFLink {
    QRectF bounds;        // page space
    int pageIndex = -1;   // the target page, -1 when it leads to none of this document
    QString uri;
};

// An entry of the document's outline (bookmarks).
struct PDFOutlineItem {
    QString title;
    int pageIndex = -1;   // -1 when it leads to no page of this document
    std::vector<PDFOutlineItem> children;
};

// A span of text on one or more pages (a search hit, a user's selection).
class PDFSelection {
public:
    struct LineRange {
        PDFPagePtr page;
        QRectF bounds;  // page space
        QString text;
    };

    PDFSelection() = default;
    explicit PDFSelection(std::vector<LineRange> lines) : lines_(std::move(lines)) {}

    QString string() const;                         // line texts joined by '\n'
    std::vector<PDFPagePtr> pages() const;          // distinct pages in order
    QRectF bounds(const PDFPage& page) const;       // union of the lines on that page; empty if none
    std::vector<PDFSelection> selectionsByLine() const;
    const std::vector<LineRange>& lines() const { return lines_; }
    bool isEmpty() const { return lines_.empty(); }

private:
    std::vector<LineRange> lines_;
};

// Options for a whole-document write.
struct PDFWriteOptions {
    int garbage = 1;           // 0 none, 1 drop unused objects, 2 + renumber, 3 + merge duplicates
    bool compressStreams = true;  // deflate uncompressed streams
    bool compressImages = false;
    bool clean = false;        // rewrite content streams
    QString creator;           // /Info /Creator when not empty
    QString userPassword;      // when either password is set, the file is AES-256 encrypted
    QString ownerPassword;
};

enum class PDFReading { copyIntoMemory, fromDisk };

// Lets another thread stop a drawing in progress: the engine looks at it between drawing steps.
// One token per piece of work; a cancelled token stays cancelled.
class PDFCancelToken {
public:
    PDFCancelToken();
    ~PDFCancelToken();
    PDFCancelToken(const PDFCancelToken&) = delete;
    PDFCancelToken& operator=(const PDFCancelToken&) = delete;
    void cancel();  // any thread
    bool isCancelled() const;

private:
    friend struct PDFEngineAccess;
    std::unique_ptr<PDFCancelTokenImpl> impl_;
};

// A display list taken on the main thread and rendered anywhere.
class PDFDisplayList {
public:
    ~PDFDisplayList();
    PDFDisplayList(const PDFDisplayList&) = delete;
    PDFDisplayList& operator=(const PDFDisplayList&) = delete;
    // Renders at `scale` pixels per point (with the page's rotation), white background, RGB32.
    // Thread-safe. A null image when the bitmap would exceed maxBytes or rendering fails.
    QImage render(double scale, qint64 maxBytes = qint64(512) << 20) const;
    // The same picture in bands of about `bandRows` rows from the top (taller where an image
    // would be cut), each handed to `sink` with its first row: a large page is written out
    // without ever being whole in memory. The band's memory is reused for the next band, so a
    // sink that keeps one takes a copy(). False when rendering fails or the sink returns false.
    bool renderBands(double scale, int bandRows, const std::function<bool(const QImage& band, int top)>& sink,
                     qint64 maxBytes = qint64(512) << 20) const;
    // The pixels of `area` of the picture at `scale` (clipped to it), for tiles: the picture
    // itself is never made whole, so only the area counts against maxBytes. Null when the area
    // misses the picture, the drawing fails or `cancel` is cancelled before it ends.
    QImage renderArea(double scale, const QRect& area, const PDFCancelToken* cancel = nullptr,
                      qint64 maxBytes = qint64(512) << 20) const;
    QSizeF rotatedSize() const;  // points, after rotation
    // The pixel size render() gives at `scale`; empty when it would give nothing.
    QSize pictureSize(double scale, qint64 maxBytes = qint64(512) << 20) const;

private:
    friend class PDFPage;
    friend struct PDFEngineAccess;
    explicit PDFDisplayList(std::unique_ptr<PDFDisplayListImpl> impl);
    std::unique_ptr<PDFDisplayListImpl> impl_;
};

class PDFAnnotation : public std::enable_shared_from_this<PDFAnnotation> {
public:
    enum class Subtype { freeText, highlight, redact, other };
    enum class Alignment { left, center, right };

    ~PDFAnnotation();
    PDFAnnotation(const PDFAnnotation&) = delete;
    PDFAnnotation& operator=(const PDFAnnotation&) = delete;

    // An annotation that belongs to no page yet; addAnnotation() puts it on a page. It gets a
    // unique /NM name, creation and modification dates and the Print flag; a highlight starts
    // with one quad covering `bounds`. `other` cannot be created (operationFailed).
    static PDFAnnotationPtr create(Subtype subtype, const QRectF& bounds);

    Subtype subtype() const;
    QString type() const;          // "FreeText", "Highlight", ... (without the slash)
    PDFPagePtr page() const;       // the page it is on, or null
    QRectF bounds() const;         // page space
    void setBounds(const QRectF& bounds);
    QString contents() const;
    void setContents(const QString& text);
    // The modification date (/M), or nothing when it is missing or not a date.
    std::optional<QDateTime> modificationDate() const;
    QString fontName() const;      // from /DA; empty when absent
    double fontSize() const;       // from /DA; 0 when absent
    void setFont(const QString& name, double size);
    std::optional<QColor> fontColor() const;
    void setFontColor(const QColor& color);
    std::optional<QColor> color() const;  // /C; a transparent QColor removes it
    void setColor(const QColor& color);
    Alignment alignment() const;   // /Q
    void setAlignment(Alignment alignment);
    std::optional<double> borderWidth() const;
    void setBorderWidth(double width);
    // QuadPoints for text markup, one quad per rectangle, page space.
    void setQuadRects(const std::vector<QRectF>& rects);
    std::vector<QRectF> quadRects() const;

    // Private dictionary entries (key without the slash, e.g. "ScrivolaUL").
    bool hasValue(const QString& key) const;
    std::optional<bool> boolValue(const QString& key) const;   // a boolean or number object
    void setBoolValue(const QString& key, bool value);

private:
    friend class PDFPage;
    friend class PDFDocument;
    friend struct PDFPageImpl;
    friend struct PDFEngineAccess;
    PDFAnnotation();
    std::unique_ptr<PDFAnnotationImpl> impl_;
};

class PDFPage : public std::enable_shared_from_this<PDFPage> {
public:
    ~PDFPage();
    PDFPage(const PDFPage&) = delete;
    PDFPage& operator=(const PDFPage&) = delete;

    PDFDocumentPtr document() const;        // the owning document (weak; null if gone)
    QRectF bounds(PDFBox box = PDFBox::mediaBox) const;  // page space; crop box defaults to media box
    int rotation() const;                   // 0, 90, 180 or 270
    void setRotation(int degrees);          // any multiple of 90; normalised
    QSizeF rotatedSize(PDFBox box = PDFBox::cropBox) const;

    std::vector<PDFAnnotationPtr> annotations() const;  // page order; same objects on every call
    // Appends the annotation (with its popup) to the page, taking it off its previous page;
    // one from another document is copied into this one (the same PDFAnnotation object then
    // stands for the copy). Its appearance is regenerated when it changed while off a page.
    void addAnnotation(const PDFAnnotationPtr& annotation);
    // Takes the annotation (and its popup) off the page; the object keeps all its data, and
    // addAnnotation() puts it back. Other annotations keep their order.
    void removeAnnotation(const PDFAnnotationPtr& annotation);

    // The page as a one-page PDF (resources and annotations included).
    QByteArray dataRepresentation() const;

    // Renders the crop box at `scale` pixels per point with rotation applied, white background.
    QImage render(double scale, bool withAnnotations = true) const;
    // A page that cannot be loaded gives the empty list of a page of the document's default
    // size; null only when not even that can be made.
    std::unique_ptr<PDFDisplayList> displayList(bool withAnnotations = true) const;
    // The content text (annotations excluded) in reading order, boxes in page space.
    PDFPageText text() const;
    std::vector<PDFLink> links() const;  // page order

private:
    friend class PDFDocument;
    friend class PDFAnnotation;
    friend struct PDFDocumentImpl;
    friend struct PDFEngineAccess;
    PDFPage();
    std::unique_ptr<PDFPageImpl> impl_;
};

class PDFDocument : public std::enable_shared_from_this<PDFDocument> {
public:
    ~PDFDocument();
    PDFDocument(const PDFDocument&) = delete;
    PDFDocument& operator=(const PDFDocument&) = delete;

    // Throw PDFEngineError: passwordProtected when a user password is needed, corruptedFile or
    // loadFailed for damaged files. A file the engine can repair opens (wasRepaired()).
    // `reading` says how: by default the file is copied into memory at opening, so that saves,
    // copies and threaded searches read the bytes it was opened from whatever happens to the file
    // later; fromDisk reads it as pages need it, for work that only reads a page or two.
    static PDFDocumentPtr load(const QString& path, PDFReading reading = PDFReading::copyIntoMemory);
    // The same for a file that may need a password to open: `password` unlocks it (a wrong one
    // throws passwordProtected). Saves keep the file's encryption, readable with that password.
    static PDFDocumentPtr load(const QString& path, const QString& password, PDFReading reading = PDFReading::copyIntoMemory);
    static PDFDocumentPtr loadFromData(const QByteArray& data);
    static PDFDocumentPtr createEmpty();

    bool wasRepaired() const;
    // Whether a password was needed to open the document.
    bool needsPassword() const;
    // Runs `preparer` once for each page on its first use: before its annotations are listed,
    // before it is rendered or drawn into a display list, and before it is changed, rasterised
    // or copied as a whole. Layers above adjust their own objects on a page this way without
    // visiting every page at opening. Errors it throws are ignored.
    void setPagePreparer(std::function<void(PDFPage&)> preparer);
    // The bytes the document was opened from, while it holds them in memory (data, or a file up
    // to 128 MB) and has no unsaved changes: the document exactly, without writing it again.
    std::optional<QByteArray> originalBytes() const;
    int pageCount() const;
    PDFPagePtr page(int index) const;        // null outside 0..count-1; same object on every call
    int index(const PDFPage& page) const;    // -1 when the page is not in this document
    std::vector<PDFOutlineItem> outline() const;
    // Inserts a page at `index` (clamped to 0..count). A page of this document that was removed
    // goes back as the same object (a page already in the document is returned unchanged); a
    // page of another document is copied (contents, resources, boxes, rotation, annotations
    // except form widgets and links into the source) and the copy is returned.
    PDFPagePtr insertPage(const PDFPagePtr& page, int index);
    void removePage(int index);
    // Inserts a blank page of the given size (points) and returns it.
    PDFPagePtr insertBlankPage(const QSizeF& size, int index);
    // Appends a page of `pageSize` points filled exactly by an encoded image (JPEG or PNG bytes).
    // JPEG data is embedded as it is, without decoding and re-encoding.
    PDFPagePtr appendImagePage(const QByteArray& encodedImage, const QSizeF& pageSize);

    // Whole-document writes. write() goes through a temporary file beside `path` renamed
    // over it; it returns false (and leaves `path` untouched) on any failure.
    bool write(const QString& path, const PDFWriteOptions& options = {}) const;
    QByteArray writeToBuffer(const PDFWriteOptions& options = {}) const;

    // Case-insensitive search over every page, one selection per match in document order.
    // Simple case folding only (no diacritic folding); runs of white space match any white
    // space or a line break; a word hyphenated at a line end is found whole.
    std::vector<PDFSelection> findString(const QString& text) const;
    std::vector<PDFSelection> findString(const QString& text, int pageIndex) const;

private:
    friend class PDFPage;
    friend class PDFAnnotation;
    friend struct PDFPageImpl;
    friend struct PDFAnnotationImpl;
    friend struct PDFEngineAccess;
    PDFDocument();
    std::unique_ptr<PDFDocumentImpl> impl_;
};

}  // namespace scrivola
