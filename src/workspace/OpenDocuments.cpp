// The opening operations of AppViewModel: files, lists and folders, image collections, the open dialog.
#include "workspace/AppViewModel.h"

#include "image/ImageDocumentContext.h"
#include "image/ImageDocumentModel.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "workspace/DocumentTypes.h"
#include "workspace/FileLocations.h"
#include "workspace/RecentDocuments.h"
#include "workspace/WindowRegistry.h"
#include "workspace/WorkspacePrompter.h"

#include <QFileInfo>

namespace scrivola {
namespace {

// A collection of several images shows no single file.
bool isImageCollection(const DocumentContent* content) {
    const auto* model = dynamic_cast<const ImageDocumentModel*>(content);
    return model && model->count() >= 2;
}

std::unique_ptr<TabItem> makePDFTab(std::unique_ptr<PDFDocumentModel> model, SignatureStorageService* signatures) {
    PDFDocumentModel* raw = model.get();
    auto tab = std::make_unique<TabItem>(std::move(model));
    auto context = std::make_unique<PDFDocumentContext>(raw);
    context->setSignatureStorage(signatures);
    tab->setContext(std::move(context));
    return tab;
}

std::unique_ptr<TabItem> makeImageTab(std::unique_ptr<ImageDocumentModel> model) {
    ImageDocumentModel* raw = model.get();
    auto tab = std::make_unique<TabItem>(std::move(model));
    tab->setContext(std::make_unique<ImageDocumentContext>(raw));
    return tab;
}

}  // namespace

TabItem* AppViewModel::tabShowingFile(const QString& path) const {
    if (path.isEmpty()) return nullptr;
    const QString target = FileLocations::canonical(path);
    for (const auto& pane : panes_) {
        for (TabItem* tab : pane->tabs()) {
            const DocumentContent* content = tab->content();
            if (!content || content->url().isEmpty() || isImageCollection(content)) continue;
            if (FileLocations::canonical(content->url()) == target) return tab;
        }
    }
    return nullptr;
}

std::unique_ptr<TabItem> AppViewModel::makeProtectedPDFTab(const QString& path) {
    try {
        return makePDFTab(std::make_unique<PDFDocumentModel>(path), services_->signatureStorage());
    } catch (const DocumentError& error) {
        if (error.kind() != DocumentError::Kind::passwordProtected || !environment_.prompter) throw;
    }
    // Asked again after each wrong password, until the document opens or the user cancels.
    const QString name = QFileInfo(path).fileName();
    for (bool wrong = false;; wrong = true) {
        const std::optional<QString> password = environment_.prompter->askPassword(name, wrong);
        if (!password) return nullptr;
        try {
            return makePDFTab(std::make_unique<PDFDocumentModel>(path, *password), services_->signatureStorage());
        } catch (const DocumentError& error) {
            if (error.kind() != DocumentError::Kind::passwordProtected) throw;
        }
    }
}

bool AppViewModel::activateExisting(TabItem* tab) {
    const int index = tab ? paneIndexOf(tab->id()) : -1;
    if (index < 0) return false;
    Pane* p = pane(index);
    p->setActiveTabID(tab->id());
    setFocusedPaneIndex(index);
    return true;
}

TabItem* AppViewModel::openFile(const QString& path) {
    if (path.isEmpty()) return nullptr;
    const QString location = FileLocations::absolute(path);

    if (TabItem* existing = tabShowingFile(location)) {
        activateExisting(existing);
        return existing;
    }
    if (environment_.registry) {
        for (AppViewModel* other : environment_.registry->models()) {
            if (other == this) continue;
            if (TabItem* existing = other->tabShowingFile(location)) {
                other->activateExisting(existing);
                environment_.registry->bringToFront(other);
                return existing;
            }
        }
    }

    const auto type = DocumentTypes::from(location);
    if (!type) return nullptr;
    // Only regular files: a folder, pipe or device named like a document is never read.
    const QFileInfo info(location);
    if (!info.isFile()) {
        const DocumentError error = info.exists() ? DocumentError::loadFailed(QStringLiteral("Not a regular file: ") + info.fileName())
                                                  : DocumentError::fileNotFound(location);
        reportFailure(&error, false);
        return nullptr;
    }

    std::unique_ptr<TabItem> tab;
    try {
        if (*type == DocumentType::pdf)
            tab = makeProtectedPDFTab(location);
        else
            tab = makeImageTab(std::make_unique<ImageDocumentModel>(location));
    } catch (const std::exception& error) {
        reportFailure(&error, false);
        return nullptr;
    } catch (...) {
        reportFailure(nullptr, false);
        return nullptr;
    }
    if (!tab) return nullptr;  // the password was not given
    Pane* target = focusedPane();
    TabItem* added = target->addTab(std::move(tab));
    noteRecent(location);
    return added;
}

void AppViewModel::openFiles(const QStringList& paths) {
    QStringList pdfs;
    QStringList images;
    const auto collect = [&](const QString& file) {
        const auto type = DocumentTypes::from(file);
        if (!type) return;
        (*type == DocumentType::pdf ? pdfs : images).append(file);
    };
    for (const QString& path : paths) {
        if (path.isEmpty()) continue;
        const QFileInfo info(path);
        if (info.isDir()) {
            for (const QString& entry : FileLocations::folderFiles(info.absoluteFilePath())) collect(entry);
        } else {
            collect(FileLocations::absolute(path));
        }
    }

    for (const QString& pdf : pdfs) openFile(pdf);

    // The same image listed twice (a folder and a file in it) is shown once.
    QStringList distinctImages;
    QStringList seen;
    for (const QString& image : images) {
        const QString key = FileLocations::canonical(image);
        if (seen.contains(key)) continue;
        seen.append(key);
        distinctImages.append(image);
    }
    if (distinctImages.size() == 1)
        openFile(distinctImages.front());
    else if (distinctImages.size() >= 2)
        openImageCollection(distinctImages);
}

TabItem* AppViewModel::openImageCollection(const QStringList& paths) {
    QStringList locations;
    for (const QString& path : paths) {
        if (path.isEmpty()) continue;
        const QString location = FileLocations::absolute(path);
        // Never read a pipe or device; a missing file is left to the model to judge.
        const QFileInfo info(location);
        if (info.exists() && !info.isFile()) continue;
        locations.append(location);
    }
    if (locations.isEmpty()) return nullptr;

    std::unique_ptr<TabItem> tab;
    QStringList loaded;
    try {
        auto model = std::make_unique<ImageDocumentModel>(locations);
        // Unreadable files are left out of the collection, and out of the recent documents.
        for (const ImageEntry& entry : model->entries()) loaded.append(entry.url);
        tab = makeImageTab(std::move(model));
    } catch (const std::exception& error) {
        reportFailure(&error, false);
        return nullptr;
    } catch (...) {
        reportFailure(nullptr, false);
        return nullptr;
    }
    TabItem* added = focusedPane()->addTab(std::move(tab));
    noteRecent(loaded);  // one write for the whole collection
    return added;
}

void AppViewModel::openDocument() {
    if (!environment_.prompter) return;
    const QStringList chosen = environment_.prompter->chooseFilesToOpen();
    if (!chosen.isEmpty()) openFiles(chosen);
}

}  // namespace scrivola
