#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>

namespace scrivola {

// One image of an image document, addressed by its index in the model. Indices shift when an
// entry leaves the collection; `id` does not, so work that outlives a moment (undo steps,
// decodes on a worker) refers to the entry by it.
// Pixels are decoded on demand and cached by the model; only an edited image carries its
// pixels here, because after an edit they exist nowhere else until saved.
struct ImageEntry {
    QString url;            // the file the image was loaded from; never changes, also not after Save As
    QSizeF pixelSize;       // width × height in pixels (after EXIF orientation); recomputed on replace
    QString format;         // format of the source file as probed: "jpeg", "png", "svg", ...
    int frameCount = 1;     // frames/pages of the source file (animated GIF, multi-page TIFF)
    QImage editedImage;     // the edited pixels, null while the entry shows its file unchanged
    quint64 id = 0;         // unique within its model, assigned when the entry is added

    bool isEdited() const { return !editedImage.isNull(); }
};

}  // namespace scrivola
