#pragma once

#include <QTextEdit>
#include <QTimer>

namespace scrivola {

// The editor a text box is typed in, laid over the page: plain text without wrapping, no
// background (the view draws its dashed border), and the text inset 4 points across and 1 down, as a
// committed box draws it. Escape cancels, Ctrl+Backspace / Ctrl+Delete deletes the box, and
// `settled` follows 50 ms after the last change (the view resizes the box then).
class InlineTextEditor : public QTextEdit {
    Q_OBJECT
public:
    static constexpr double kMinimumWidth = 200;
    static constexpr double kMinimumHeight = 24;

    explicit InlineTextEditor(QWidget* parent = nullptr);

    // Underline and strikethrough over the whole text and for text typed from now on.
    void setDecorations(bool underline, bool strikethrough);
    // The font, colour and alignment of the whole text and of text typed from now on.
    void setTextFormat(const QFont& font, const QColor& color, Qt::Alignment alignment);
    // The size the text needs, at least kMinimumWidth × kMinimumHeight.
    QSizeF neededSize() const;
    // Bullets ("• ") before every non-empty line of the selected lines, or, when they all have
    // one, taken away; empty lines stay as they are. One undoable change of the editor.
    void toggleBulletList();

signals:
    void escapePressed();
    void deleteRequested();
    void settled();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyToAll(const QTextCharFormat& format);

    QTimer settle_;
};

}  // namespace scrivola
