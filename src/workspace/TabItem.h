#pragma once

#include "workspace/DocumentContent.h"

#include <QObject>
#include <QUuid>

#include <memory>

namespace scrivola {

// One open tab: a document (content) and its per-tab view state (context). The tab owns both;
// moving the tab to another pane or window moves the same objects. Tabs are identified by id.
class TabItem : public QObject {
    Q_OBJECT
public:
    explicit TabItem(std::unique_ptr<DocumentContent> content, QObject* parent = nullptr);
    ~TabItem() override;

    const QUuid& id() const { return id_; }
    // The id as a dragged tab carries it: upper-case, without braces.
    QString idText() const;
    static QString idText(const QUuid& id);

    DocumentContent* content() const { return content_.get(); }
    DocumentContext* context() const { return context_.get(); }
    // Sets the context once, right after creating the tab; later calls are ignored.
    void setContext(std::unique_ptr<DocumentContext> context);

    bool operator==(const TabItem& other) const { return id_ == other.id_; }

signals:
    void contextChanged();

private:
    QUuid id_;
    // Declared before the context so that the context, which refers to the content, goes first.
    std::unique_ptr<DocumentContent> content_;
    std::unique_ptr<DocumentContext> context_;
};

}  // namespace scrivola
