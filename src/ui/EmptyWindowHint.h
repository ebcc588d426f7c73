#pragma once

#include <QWidget>

namespace scrivola {

// What a window without tabs shows: how to open documents.
class EmptyWindowHint : public QWidget {
    Q_OBJECT
public:
    explicit EmptyWindowHint(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace scrivola
