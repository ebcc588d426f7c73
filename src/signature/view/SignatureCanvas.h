#pragma once

#include <QColor>
#include <QDate>
#include <QDialog>
#include <QImage>
#include <QLocale>
#include <QPointF>
#include <QWidget>

#include <functional>
#include <vector>

class QLineEdit;
class QPainterPath;
class QPushButton;

namespace scrivola {

// The drawing area of a new signature: white strokes on a dark slate, captured from mouse (or
// tablet-emulated mouse) drags. A stroke is the list of points of one press-drag-release; a
// press without movement leaves none. Strokes are drawn as smooth curves through the midpoints
// of their points, which never leave the points' bounding box, so the rendered picture's bounds
// depend on the points alone.
class SignatureCanvas : public QWidget {
    Q_OBJECT
public:
    using Stroke = std::vector<QPointF>;
    // Pixels per point of renderImage(), stored as the PNG's resolution (144 DPI), so the picture
    // keeps its size in points and stays sharp when placed enlarged.
    static constexpr double kRenderScale = 2.0;
    static constexpr double kMargin = 8.0;

    explicit SignatureCanvas(QWidget* parent = nullptr);

    const std::vector<Stroke>& strokes() const { return strokes_; }
    const Stroke& currentStroke() const { return currentStroke_; }
    double lineWidth() const { return lineWidth_; }
    QColor strokeColor() const { return strokeColor_; }
    void setStrokeColor(const QColor& color);
    bool isEmpty() const { return strokes_.empty() && currentStroke_.empty(); }
    void clear();
    // A writing guide: a 1-point line inset 20 points from the sides, 40 points above the bottom.
    void setShowsGuideLine(bool value);

    // The strokes in black on transparent, cropped to their points' bounds widened by the line
    // width, with an 8-point margin: (width + 16) × (height + 16) points at kRenderScale pixels
    // per point. Null when nothing is drawn or the bounds are 2 points or less in either direction.
    QImage renderImage() const;
    // The path a stroke is drawn with (empty for fewer than 2 points).
    static QPainterPath strokePath(const Stroke& stroke);

signals:
    void strokesChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Repaints only around the newest part of the current stroke.
    void updateStrokeTail();

    std::vector<Stroke> strokes_;
    Stroke currentStroke_;
    QColor strokeColor_{Qt::white};
    double lineWidth_{2.5};
    bool showsGuideLine_{false};
    bool isDrawing_{false};
};

// The sheet that draws a new signature: the canvas, a name, "Clear", "Cancel" and "Save". Save
// with nothing drawn does nothing; otherwise it hands the picture and the name (as typed, or
// "Signature " and today's abbreviated month and day when empty) to the save handler, and closes
// when the handler took it (a handler that fails keeps the drawing on screen).
class SignatureCreationSheet : public QDialog {
    Q_OBJECT
public:
    using SaveHandler = std::function<bool(const QImage& image, const QString& name)>;

    explicit SignatureCreationSheet(QWidget* parent = nullptr);

    void setSaveHandler(SaveHandler handler) { saveHandler_ = std::move(handler); }
    SignatureCanvas* canvas() const { return canvas_; }
    QLineEdit* nameField() const { return nameField_; }
    QPushButton* clearButton() const { return clearButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* saveButton() const { return saveButton_; }

    // "Signature " + the date's abbreviated month and day in `locale` ("Signature Dec 7").
    static QString defaultName(const QDate& date, const QLocale& locale = QLocale());

private:
    void save();

    SignatureCanvas* canvas_;
    QLineEdit* nameField_;
    QPushButton* clearButton_;
    QPushButton* cancelButton_;
    QPushButton* saveButton_;
    SaveHandler saveHandler_;
};

}  // namespace scrivola
