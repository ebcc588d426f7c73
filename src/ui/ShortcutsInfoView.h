#pragma once

#include <QFrame>
#include <QList>
#include <QString>

namespace scrivola {

// The keyboard-shortcut overview: a 260-pixel panel, by sections, each row an action and its keys.
class ShortcutsInfoView : public QFrame {
    Q_OBJECT
public:
    struct Row {
        QString action;
        QString keys;
    };
    struct Section {
        QString title;
        QList<Row> rows;
    };
    static constexpr int kWidth = 260;
    static const QList<Section>& sections();

    explicit ShortcutsInfoView(QWidget* parent = nullptr);
};

}  // namespace scrivola
