#include "pdf/view/InlineTextEditor.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace scrivola {

namespace {
const QString kBullet = QStringLiteral("\u2022 ");
constexpr int kInsetX = 4;  // the container inset and the line padding, as a committed box draws
constexpr int kInsetY = 1;
}  // namespace

InlineTextEditor::InlineTextEditor(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(false);
    setLineWrapMode(QTextEdit::NoWrap);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setViewportMargins(kInsetX, kInsetY, kInsetX, kInsetY);
    document()->setDocumentMargin(0);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    settle_.setSingleShot(true);
    settle_.setInterval(50);
    connect(&settle_, &QTimer::timeout, this, &InlineTextEditor::settled);
    connect(this, &QTextEdit::textChanged, &settle_, qOverload<>(&QTimer::start));
}

void InlineTextEditor::applyToAll(const QTextCharFormat& format) {
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    all.mergeCharFormat(format);
    mergeCurrentCharFormat(format);
}

void InlineTextEditor::setDecorations(bool underline, bool strikethrough) {
    QTextCharFormat format;
    format.setFontUnderline(underline);
    format.setFontStrikeOut(strikethrough);
    applyToAll(format);
}

void InlineTextEditor::setTextFormat(const QFont& font, const QColor& color, Qt::Alignment alignment) {
    const bool underline = currentCharFormat().fontUnderline();
    const bool strikethrough = currentCharFormat().fontStrikeOut();
    document()->setDefaultFont(font);
    QTextCharFormat format;
    format.setFont(font);
    format.setForeground(color);
    format.setFontUnderline(underline);
    format.setFontStrikeOut(strikethrough);
    applyToAll(format);
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(alignment);
    document()->setDefaultTextOption(option);
    settle_.start();
}

QSizeF InlineTextEditor::neededSize() const {
    // Without wrapping the ideal width is the longest line; alignment needs the text width set.
    QTextDocument* doc = document();
    const double used = doc->idealWidth();
    const double height = doc->documentLayout()->documentSize().height();
    return QSizeF(std::max(used + 2 * kInsetX + 2, kMinimumWidth), std::max(height + 2 * kInsetY + 4, kMinimumHeight));
}

void InlineTextEditor::toggleBulletList() {
    QTextCursor cursor = textCursor();
    const int start = document()->findBlock(cursor.selectionStart()).position();
    const QTextBlock lastBlock = document()->findBlock(cursor.selectionEnd());
    const int end = lastBlock.position() + lastBlock.length() - 1;  // before the block's separator
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    // Blocks are separated by U+2029 in the selected text (a fragment's plain text drops empty ones).
    QStringList lines = cursor.selectedText().split(QChar::ParagraphSeparator);
    const bool allBulleted = std::all_of(lines.begin(), lines.end(), [](const QString& line) {
        return line.isEmpty() || line.startsWith(kBullet);
    }) && std::any_of(lines.begin(), lines.end(), [](const QString& line) { return !line.isEmpty(); });
    for (QString& line : lines) {
        if (line.isEmpty()) continue;
        if (allBulleted) line.remove(0, kBullet.size());
        else line.prepend(kBullet);
    }
    cursor.insertText(lines.join(QLatin1Char('\n')), currentCharFormat());
    // The changed lines stay selected, so a second toggle takes the bullets off them again.
    cursor.setPosition(start, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void InlineTextEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit escapePressed();
        return;
    }
    if ((event->modifiers() & Qt::ControlModifier) && (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)) {
        emit deleteRequested();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

}  // namespace scrivola
