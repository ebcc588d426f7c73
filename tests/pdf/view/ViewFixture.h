#pragma once

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/view/PDFViewBridge.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "support/Files.h"
#include "support/PdfFactory.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace scrivola::testing {

// A tab's model and context with a shown page view and its bridge.
class ViewFixture : public ::testing::Test {
protected:
    void open(int pages, QSize viewSize) {
        model = std::make_unique<PDFDocumentModel>(writeFile(dir, "doc.pdf", textPdf(pages)));
        context = std::make_unique<PDFDocumentContext>(model.get());
        view.resize(viewSize);
        new PDFViewBridge(context.get(), &view);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QCoreApplication::processEvents();
    }

    // A page point of page `page` in the view.
    QPoint at(double x, double y, int page = 0) const { return view.convertFromPage(QPointF(x, y), page).toPoint(); }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mousePress(view.viewport(), Qt::LeftButton, modifiers, from);
        QTest::mouseMove(view.viewport(), to);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, modifiers, to);
    }
    // The free-text annotations of a page, in page order.
    std::vector<PDFAnnotationPtr> boxes(int page = 0) const {
        std::vector<PDFAnnotationPtr> found;
        for (const PDFAnnotationPtr& annotation : model->pdfDocument()->page(page)->annotations())
            if (annotation->subtype() == PDFAnnotation::Subtype::freeText) found.push_back(annotation);
        return found;
    }

    QTemporaryDir dir;
    std::unique_ptr<PDFDocumentModel> model;
    std::unique_ptr<PDFDocumentContext> context;
    ScrivolaPDFView view;  // goes first, with its bridge, as a tab's view does
};

}  // namespace scrivola::testing
