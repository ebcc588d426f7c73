#include "workspace/TabItem.h"

namespace scrivola {

TabItem::TabItem(std::unique_ptr<DocumentContent> content, QObject* parent)
    : QObject(parent), id_(QUuid::createUuid()), content_(std::move(content)) {
    // The tab owns its document; a Qt parent would delete it a second time.
    if (content_) content_->setParent(nullptr);
}

TabItem::~TabItem() {
    context_.reset();
    content_.reset();
}

QString TabItem::idText() const { return idText(id_); }

QString TabItem::idText(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

void TabItem::setContext(std::unique_ptr<DocumentContext> context) {
    if (context_ || !context) return;
    context_ = std::move(context);
    context_->setParent(nullptr);
    emit contextChanged();
}

}  // namespace scrivola
