#include "ui/ShortcutsInfoView.h"

#include "app/core/Theme.h"
#include "ui/Symbols.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace scrivola {

const QList<ShortcutsInfoView::Section>& ShortcutsInfoView::sections() {
    static const QList<Section> list = {
        {QStringLiteral("Files"),
         {{QStringLiteral("Open File"), QStringLiteral("Ctrl+O")},
          {QStringLiteral("Save"), QStringLiteral("Ctrl+S")},
          {QStringLiteral("Save As..."), QStringLiteral("Ctrl+Shift+S")},
          {QStringLiteral("Close Tab"), QStringLiteral("Ctrl+W")}}},
        {QStringLiteral("Navigation"),
         {{QStringLiteral("Next Page"), QStringLiteral("→")},
          {QStringLiteral("Previous Page"), QStringLiteral("←")},
          {QStringLiteral("Next Tab"), QStringLiteral("Ctrl+Shift+]")},
          {QStringLiteral("Previous Tab"), QStringLiteral("Ctrl+Shift+[")}}},
        {QStringLiteral("Zoom"),
         {{QStringLiteral("Zoom In"), QStringLiteral("Ctrl++")},
          {QStringLiteral("Zoom Out"), QStringLiteral("Ctrl+-")},
          {QStringLiteral("Actual Size"), QStringLiteral("Ctrl+0")},
          {QStringLiteral("Zoom to Fit"), QStringLiteral("Ctrl+1")},
          {QStringLiteral("Scroll Zoom"), QStringLiteral("Ctrl + Scroll")},
          {QStringLiteral("Trackpad Zoom"), QStringLiteral("Pinch")}}},
        {QStringLiteral("View"),
         {{QStringLiteral("Toggle Sidebar"), QStringLiteral("Ctrl+Alt+S")},
          {QStringLiteral("Split Horizontal"), QStringLiteral("Ctrl+E")},
          {QStringLiteral("Split Vertical"), QStringLiteral("Ctrl+R")},
          {QStringLiteral("Find"), QStringLiteral("Ctrl+F")}}},
        {QStringLiteral("Edit"),
         {{QStringLiteral("Undo"), QStringLiteral("Ctrl+Z")},
          {QStringLiteral("Redo"), QStringLiteral("Ctrl+Shift+Z")},
          {QStringLiteral("Select All Pages"), QStringLiteral("Ctrl+A")},
          {QStringLiteral("Highlight Text"), QStringLiteral("Ctrl+H")}}},
    };
    return list;
}

ShortcutsInfoView::ShortcutsInfoView(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("shortcutsInfo"));
    setFixedWidth(kWidth);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(4);

    auto* header = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(symbolIcon(QStringLiteral("keyboard")).pixmap(Theme::iconSize, Theme::iconSize));
    auto* heading = new QLabel(QStringLiteral("Keyboard Shortcuts"), this);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.15);
    heading->setFont(headingFont);
    header->addWidget(icon);
    header->addWidget(heading, 1);
    layout->addLayout(header);

    for (const Section& section : sections()) {
        layout->addSpacing(6);
        auto* title = new QLabel(section.title, this);
        QFont titleFont = title->font();
        titleFont.setBold(true);
        titleFont.setPointSizeF(titleFont.pointSizeF() * 0.9);
        title->setFont(titleFont);
        title->setForegroundRole(QPalette::PlaceholderText);
        layout->addWidget(title);
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(12);
        grid->setVerticalSpacing(2);
        for (int i = 0; i < section.rows.size(); ++i) {
            grid->addWidget(new QLabel(section.rows[i].action, this), i, 0);
            auto* keys = new QLabel(section.rows[i].keys, this);
            keys->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            keys->setForegroundRole(QPalette::PlaceholderText);
            grid->addWidget(keys, i, 1);
        }
        layout->addLayout(grid);
    }
}

}  // namespace scrivola
