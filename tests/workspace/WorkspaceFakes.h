#pragma once
// Stand-ins for documents and dialogs, and a workspace wired to settings in a temporary folder.

#include "workspace/AppViewModel.h"
#include "workspace/DocumentContent.h"
#include "workspace/RecentDocuments.h"
#include "workspace/TabItem.h"
#include "workspace/WindowRegistry.h"
#include "workspace/WorkspacePrompter.h"

#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <deque>
#include <optional>
#include <memory>

namespace scrivola::testing {

// A document whose saving can be told to fail; records what was written.
class FakeDocument : public DocumentContent {
public:
    explicit FakeDocument(QString url, QString name = {}) : url_(std::move(url)), name_(std::move(name)) {}
    QString url() const override { return url_; }
    DocumentType documentType() const override { return DocumentType::pdf; }
    bool isModified() const override { return modified_; }
    QString displayName() const override {
        if (!name_.isEmpty()) return name_;
        return url_.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(url_).fileName();
    }
    void save() override {
        if (failSaving) throw DocumentError::saveFailed(QStringLiteral("disk full"));
        ++saveCount;
        setModified(false);
    }
    void save(const QString& url) override {
        if (failSaving) throw DocumentError::saveFailed(QStringLiteral("disk full"));
        savedAs.append(url);
        url_ = url;
        setModified(false);
        emit urlChanged();
    }
    bool canSaveInPlace() const override { return !url_.isEmpty() && !needsSaveAs; }
    void setModified(bool modified) {
        modified_ = modified;
        emit modifiedChanged(modified);
    }

    bool failSaving = false;
    bool needsSaveAs = false;
    int saveCount = 0;
    QStringList savedAs;

private:
    QString url_;
    QString name_;
    bool modified_ = false;
};

// A context for tabs whose view state the tests never look at: one page, fixed zoom.
class FakeContext : public DocumentContext {
public:
    DocumentType documentType() const override { return DocumentType::pdf; }
    double zoomLevel() const override { return 1; }
    void zoomIn() override {}
    void zoomOut() override {}
    void zoomToFit() override {}
    void zoomToActualSize() override {}
    int currentPage() const override { return 0; }
    int totalPages() const override { return 1; }
    void goToNextPage() override {}
    void goToPreviousPage() override {}
    void goToPage(int) override {}
    std::set<int> exportTargets() const override { return {0}; }
    void exportItems(const std::set<int>&) override {}

protected:
    void markDocumentModified() override {}
};

// A tab over a FakeDocument; `document` points at it for the test.
inline std::unique_ptr<TabItem> fakeTab(const QString& name, FakeDocument** document = nullptr) {
    auto content = std::make_unique<FakeDocument>(QStringLiteral("/nonexistent/") + name);
    if (document) *document = content.get();
    auto tab = std::make_unique<TabItem>(std::move(content));
    tab->setContext(std::make_unique<FakeContext>());
    return tab;
}

// Answers the workspace's questions from queues and records what was asked.
class FakePrompter : public WorkspacePrompter {
public:
    SaveResult showUnsavedChangesAlert(const TabItem& tab) override {
        alertsShownFor.append(tab.content()->displayName());
        if (answers.empty()) return SaveResult::cancel;
        const SaveResult answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QStringList chooseFilesToOpen() override { return filesToOpen; }
    QString chooseSaveLocation(const QString& proposedName) override {
        proposedNames.append(proposedName);
        return saveLocation;
    }

    std::optional<QString> askPassword(const QString& fileName, bool wrongPassword) override {
        passwordRequests.append({fileName, wrongPassword});
        if (passwords.empty()) return std::nullopt;
        const std::optional<QString> answer = passwords.front();
        passwords.pop_front();
        return answer;
    }

    std::deque<SaveResult> answers;
    // Answers to password questions; none (or an empty queue) cancels.
    std::deque<std::optional<QString>> passwords;
    QList<std::pair<QString, bool>> passwordRequests;
    QStringList alertsShownFor;
    QStringList filesToOpen;
    QString saveLocation;
    QStringList proposedNames;
};

// Settings, recent documents, signature store and registry in a temporary folder.
struct WorkspaceHarness {
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    RecentDocuments recent{&settings};
    WindowRegistry registry;
    FakePrompter prompter;

    std::unique_ptr<AppViewModel> makeModel() {
        WorkspaceEnvironment environment;
        environment.prompter = &prompter;
        environment.registry = &registry;
        environment.recentDocuments = &recent;
        environment.settings = &settings;
        auto model = std::make_unique<AppViewModel>(
            std::make_unique<ServiceContainer>(dir.filePath(QStringLiteral("signatures"))), environment);
        registry.add(model.get());
        return model;
    }
};

}  // namespace scrivola::testing
