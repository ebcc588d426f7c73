#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace scrivola {

class DocumentContext;

// The compact page navigator of a document's bottom bar: first, previous, the current page (a
// click turns it into a number field; Return goes there, Escape or leaving the field does not),
// "/" and the page count, next, last. Works on any tab's context through its navigation.
class PageNavigationView : public QWidget {
    Q_OBJECT
public:
    explicit PageNavigationView(QWidget* parent = nullptr);

    // The document to navigate; null shows nothing.
    void setContext(DocumentContext* context);
    // Two pages side by side: the display shows the pair, "3–4".
    void setTwoUp(bool twoUp);

    // The one-based current page, or the pair shown two-up.
    QString displayText() const;
    bool isEditing() const { return editing_; }
    // Opens the number field, filled with the current page and focused.
    void startEditing();
    // Goes to the page typed (1 … count, an optional sign, nothing else) and closes the field.
    void commitPage();
    void endEditing();
    QLineEdit* field() const { return field_; }
    QPushButton* display() const { return display_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    QPointer<DocumentContext> context_;
    QList<QMetaObject::Connection> connections_;
    bool twoUp_ = false;
    bool editing_ = false;
    QToolButton* first_ = nullptr;
    QToolButton* previous_ = nullptr;
    QPushButton* display_ = nullptr;
    QLineEdit* field_ = nullptr;
    QLabel* count_ = nullptr;
    QToolButton* next_ = nullptr;
    QToolButton* last_ = nullptr;
};

}  // namespace scrivola
