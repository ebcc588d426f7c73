#include "ui/TextFormatToolbar.h"

#include "app/core/Theme.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFTextBoxTool.h"
#include "ui/IconButton.h"

#include <QColorDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>

#include <tuple>

namespace scrivola {

namespace {

QString sizeText(double size) { return QString::number(size, 'g', 4) + QStringLiteral(" pt"); }

Qt::Alignment horizontal(Qt::Alignment alignment) {
    const Qt::Alignment h = alignment & Qt::AlignHorizontal_Mask;
    return h == Qt::AlignCenter ? Qt::AlignHCenter : h;
}

}  // namespace

const QStringList& TextFormatToolbar::fontFamilies() {
    static const QStringList families = {QStringLiteral("Helvetica"), QStringLiteral("Arial"),   QStringLiteral("Calibri"),
                                         QStringLiteral("Times New Roman"), QStringLiteral("Courier"), QStringLiteral("SF Pro"),
                                         QStringLiteral("Georgia"), QStringLiteral("Menlo")};
    return families;
}

const std::vector<double>& TextFormatToolbar::fontSizes() {
    static const std::vector<double> sizes = {8, 10, 12, 14, 16, 18, 20, 24, 28, 32, 36, 48};
    return sizes;
}

const std::vector<std::pair<QString, QColor>>& TextFormatToolbar::presetColors() {
    static const std::vector<std::pair<QString, QColor>> colours = {
        {QStringLiteral("Black"), QColor(0, 0, 0)},      {QStringLiteral("Red"), QColor(255, 59, 48)},
        {QStringLiteral("Blue"), QColor(0, 122, 255)},   {QStringLiteral("Green"), QColor(52, 199, 89)},
        {QStringLiteral("White"), QColor(255, 255, 255)},
    };
    return colours;
}

TextFormatToolbar::TextFormatToolbar(PDFDocumentContext* context, QWidget* parent)
    : QWidget(parent), context_(context),
      colorChooser_([](const QColor& initial, QWidget* owner) {
          return QColorDialog::getColor(initial, owner, QStringLiteral("Text Color"));
      }) {
    layout_ = new QHBoxLayout(this);
    layout_->setContentsMargins(8, 2, 8, 2);
    layout_->setSpacing(2);
    setFixedHeight(Theme::toolbarHeight - 4);
    // A narrow pane clips the trailing controls rather than forcing the window wider.
    layout_->setSizeConstraint(QLayout::SetNoConstraint);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    if (!context) return;
    PDFTextBoxTool* tool = context->textTool();
    const QPointer<PDFDocumentContext> c(context);
    const auto divider = [this] {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::VLine);
        line->setFixedHeight(18);
        line->setForegroundRole(QPalette::Mid);
        layout_->addSpacing(4);
        layout_->addWidget(line);
        layout_->addSpacing(4);
    };

    // Select or add boxes.
    IconButton* select = addButton(QStringLiteral("select"), QStringLiteral("cursorarrow"), QStringLiteral("Select"),
                                   [c] { if (c) c->textTool()->setTextSubMode(TextSubMode::select); });
    IconButton* add = addButton(QStringLiteral("addText"), QStringLiteral("plus"), QStringLiteral("Add Text"),
                                [c] { if (c) c->textTool()->setTextSubMode(TextSubMode::add); });
    updaters_.push_back([select, add, tool] {
        select->setActive(tool->textSubMode() == TextSubMode::select);
        add->setActive(tool->textSubMode() == TextSubMode::add);
    });
    divider();

    // Font, size and colour menus.
    IconButton* font = addButton(QStringLiteral("font"), QString(), QStringLiteral("Font"), {});
    auto* fonts = new QMenu(font);
    for (const QString& family : fontFamilies()) {
        QAction* action = fonts->addAction(family, this, [this, family] {
            apply(QStringLiteral("Change Font"), [family](TextBoxFormat& f) { f.fontName = family; });
        });
        action->setCheckable(true);
        action->setFont(QFont(family));
    }
    font->setMenu(fonts);
    IconButton* size = addButton(QStringLiteral("size"), QString(), QStringLiteral("Font Size"), {});
    auto* sizes = new QMenu(size);
    for (double value : fontSizes()) {
        sizes->addAction(sizeText(value), this, [this, value] {
            apply(QStringLiteral("Change Font Size"), [value](TextBoxFormat& f) { f.fontSize = value; });
        })->setCheckable(true);
    }
    size->setMenu(sizes);
    IconButton* colour = addButton(QStringLiteral("color"), QString(), QStringLiteral("Text Color"), {});
    auto* colours = new QMenu(colour);
    for (const auto& [name, value] : presetColors()) {
        colours->addAction(name, this, [this, value = value] {
            apply(QStringLiteral("Change Text Color"), [value](TextBoxFormat& f) { f.fontColor = value; });
        });
    }
    colours->addSeparator();
    colours->addAction(QStringLiteral("Other Color..."), this, &TextFormatToolbar::chooseOtherColor);
    colour->setMenu(colours);
    updaters_.push_back([font, fonts, size, sizes, colour, tool] {
        const TextBoxFormat shown = tool->shownFormat();
        font->setText(shown.fontName);
        font->updateGeometry();
        for (QAction* action : fonts->actions()) action->setChecked(action->text() == shown.fontName);
        size->setText(sizeText(shown.fontSize));
        size->updateGeometry();
        for (QAction* action : sizes->actions()) action->setChecked(action->text() == sizeText(shown.fontSize));
        colour->setSwatch(shown.fontColor);
    });
    divider();

    // Styles.
    struct Style {
        const char* name;
        const char* symbol;
        const char* toolTip;
        bool TextBoxFormat::*field;
    };
    static const Style styles[] = {
        {"bold", "bold", "Bold", &TextBoxFormat::bold},
        {"italic", "italic", "Italic", &TextBoxFormat::italic},
        {"underline", "underline", "Underline", &TextBoxFormat::underline},
        {"strikethrough", "strikethrough", "Strikethrough", &TextBoxFormat::strikethrough},
    };
    for (const Style& style : styles) {
        const auto field = style.field;
        IconButton* button = addButton(QString::fromLatin1(style.name), QString::fromLatin1(style.symbol),
                                       QString::fromLatin1(style.toolTip), [this, tool, field] {
                                           const bool value = !(tool->shownFormat().*field);
                                           apply(QStringLiteral("Change Text Style"), [field, value](TextBoxFormat& f) { f.*field = value; });
                                       });
        updaters_.push_back([button, tool, field] { button->setActive(tool->shownFormat().*field); });
    }
    divider();

    // Alignment.
    const std::vector<std::tuple<QString, QString, QString, Qt::Alignment>> alignments = {
        {QStringLiteral("alignLeft"), QStringLiteral("text.alignleft"), QStringLiteral("Align Left"), Qt::AlignLeft},
        {QStringLiteral("alignCenter"), QStringLiteral("text.aligncenter"), QStringLiteral("Align Center"), Qt::AlignHCenter},
        {QStringLiteral("alignRight"), QStringLiteral("text.alignright"), QStringLiteral("Align Right"), Qt::AlignRight},
    };
    for (const auto& [name, symbol, toolTip, alignment] : alignments) {
        IconButton* button = addButton(name, symbol, toolTip, [this, alignment = alignment] {
            apply(QStringLiteral("Change Alignment"), [alignment](TextBoxFormat& f) { f.alignment = alignment; });
        });
        updaters_.push_back([button, tool, alignment = alignment] {
            button->setActive(horizontal(tool->shownFormat().alignment) == alignment);
        });
    }
    divider();

    // Bullets act on the box being typed; the last button shows the annotations sidebar.
    IconButton* bullets = addButton(QStringLiteral("bullets"), QStringLiteral("list.bullet"), QStringLiteral("Bullet List"), [c] {
        if (!c) return;
        if (const std::shared_ptr<PDFViewHandle> view = c->pdfView()) view->toggleBulletList();
    });
    updaters_.push_back([bullets, tool] { bullets->setEnabled(tool->isInlineEditing()); });
    layout_->addStretch(1);
    IconButton* sidebar = addButton(QStringLiteral("annotations"), QStringLiteral("sidebar.right"), QStringLiteral("Show Annotations"),
                                    [c] { if (c) c->openAnnotationsSidebar(); });
    updaters_.push_back([sidebar, context] { sidebar->setActive(context->isAnnotationsSidebarVisible()); });

    connect(tool, &PDFTextBoxTool::changed, this, &TextFormatToolbar::refresh);
    connect(tool, &PDFTextBoxTool::inlineEditingChanged, this, &TextFormatToolbar::refresh);
    connect(context, &PDFDocumentContext::panelsChanged, this, &TextFormatToolbar::refresh);
    // An undone or redone restyle changes what the selected box shows.
    connect(context, &PDFDocumentContext::documentRevisionChanged, this, &TextFormatToolbar::refresh);
    refresh();
}

IconButton* TextFormatToolbar::control(const QString& name) const {
    return findChild<IconButton*>(name, Qt::FindDirectChildrenOnly);
}

IconButton* TextFormatToolbar::addButton(const QString& name, const QString& symbol, const QString& toolTip,
                                         const std::function<void()>& action) {
    return addIconButton(this, layout_, name, symbol, toolTip, action);
}

void TextFormatToolbar::apply(const QString& undoName, const std::function<void(TextBoxFormat&)>& change) {
    if (context_) context_->textTool()->applyFormat(undoName, change);
}

void TextFormatToolbar::chooseOtherColor() {
    if (!context_ || !colorChooser_) return;
    const QColor chosen = colorChooser_(context_->textTool()->shownFormat().fontColor, window());
    if (!chosen.isValid()) return;
    apply(QStringLiteral("Change Text Color"), [chosen](TextBoxFormat& f) { f.fontColor = chosen; });
}

void TextFormatToolbar::refresh() {
    if (!context_) return;
    // Only while text-annotation mode is on (a toolbar without a parent is never shown by itself).
    const bool on = context_->textTool()->isTextAnnotationMode();
    if (parentWidget() || !on) setVisible(on);
    for (const auto& update : updaters_) update();
}

}  // namespace scrivola
