#pragma once

#include <QString>

namespace scrivola {

// What exporting pages needs from the user interface: the save panel, restricted to PDF files.
// The application shows a file dialog; tests and tools answer directly.
class PDFExportPresenter {
public:
    virtual ~PDFExportPresenter() = default;
    // Asks where to write the exported pages, proposing `proposedName` (e.g. "Page 7.pdf") in
    // `directory` (empty when there is none to suggest). Returns the chosen file, or an empty
    // text when the user cancels.
    virtual QString chooseExportFile(const QString& proposedName, const QString& directory) = 0;
};

}  // namespace scrivola
