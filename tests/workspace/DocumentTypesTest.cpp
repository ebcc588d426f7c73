#include "support/Files.h"
#include "workspace/DocumentTypes.h"

#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace scrivola;

TEST(DocumentTypesTest, ClassifiesByExtensionOnly) {
    EXPECT_EQ(DocumentTypes::from("/a/b/Report.pdf"), DocumentType::pdf);
    EXPECT_EQ(DocumentTypes::from("/a/b/REPORT.PDF"), DocumentType::pdf);
    EXPECT_EQ(DocumentTypes::from("/photos/IMG_0001.heic"), DocumentType::image);
    for (const char* name : {"x.png", "x.jpg", "x.jpeg", "x.tif", "x.tiff", "x.gif", "x.bmp", "x.webp", "x.svg", "x.avif",
                             "x.HEIF"})
        EXPECT_EQ(DocumentTypes::from(QString("/tmp/") + name), DocumentType::image) << name;
    for (const char* name : {"/tmp/notes.txt", "/tmp/README", "/tmp/archive.pdf.zip", "/tmp/folder.pdf/inner", ""})
        EXPECT_FALSE(DocumentTypes::from(name)) << name;
    EXPECT_EQ(DocumentTypes::from("/tmp/archive.tar.pdf"), DocumentType::pdf);
}

TEST(DocumentTypesTest, NeverReadsTheFileAndTheOpenFilterNamesEveryType) {
    QTemporaryDir dir;
    const QString fakePdf = scrivola::testing::writeBytes(dir.path() + "/not-really.pdf", "\x89PNG\r\n\x1a\nthis is not a PDF");
    EXPECT_EQ(DocumentTypes::from(fakePdf), DocumentType::pdf);
    EXPECT_EQ(DocumentTypes::from(dir.path() + "/missing.png"), DocumentType::image);
    // Extensions belong to exactly one type, and the filter offers each.
    QSet<QString> seen;
    const QString filter = DocumentTypes::openDialogFilter();
    for (const auto& type : DocumentTypes::supportedContentTypes())
        for (const auto& ext : type.extensions) {
            EXPECT_FALSE(seen.contains(ext)) << ext.toStdString();
            seen.insert(ext);
            EXPECT_TRUE(filter.contains("*." + ext)) << ext.toStdString();
        }
}

TEST(DocumentErrorTest, DescriptionsAreFixed) {
    EXPECT_EQ(DocumentError::fileNotFound("/a/b/Report.pdf").errorDescription(), "File not found: Report.pdf");
    EXPECT_EQ(DocumentError::unsupportedFormat("xyz").errorDescription(), "Unsupported format: xyz");
    EXPECT_EQ(DocumentError::loadFailed("bad xref").errorDescription(), "Failed to load document: bad xref");
    EXPECT_EQ(DocumentError::saveFailed("disk full").errorDescription(), "Failed to save document: disk full");
    EXPECT_EQ(DocumentError::exportFailed("no pages").errorDescription(), "Failed to export: no pages");
    EXPECT_EQ(DocumentError::passwordProtected().errorDescription(), "Document is password protected");
    EXPECT_EQ(DocumentError::corruptedFile().errorDescription(), "File appears to be corrupted");
}

TEST(DocumentErrorTest, CarriesKindPayloadAndWhat) {
    try {
        throw DocumentError::saveFailed("Grüße");
    } catch (const std::exception& error) {
        EXPECT_EQ(QString::fromUtf8(error.what()), "Failed to save document: Grüße");
        const auto* documentError = dynamic_cast<const DocumentError*>(&error);
        ASSERT_NE(documentError, nullptr);
        EXPECT_EQ(documentError->kind(), DocumentError::Kind::saveFailed);
        EXPECT_EQ(documentError->payload(), "Grüße");
    }
    // what() stays valid in a copy after the original is gone.
    std::optional<DocumentError> copy;
    {
        const DocumentError original = DocumentError::fileNotFound("/x/y/z.png");
        copy = original;
    }
    EXPECT_STREQ(copy->what(), "File not found: z.png");
    EXPECT_EQ(DocumentError::loadFailed("a"), DocumentError::loadFailed("a"));
    EXPECT_FALSE(DocumentError::loadFailed("a") == DocumentError::saveFailed("a"));
}
