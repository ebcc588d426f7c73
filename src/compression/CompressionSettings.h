#pragma once

// The settings records of the compression service and the progress hook of its long jobs.

#include "image/ImageOutputFormat.h"

#include <functional>

namespace scrivola {

struct PDFCompressionSettings {
    double quality = 0.85;          // image quality 0...1; 1 means no lossy image recompression
    double dpi = 150.0;             // resolution of rasterised pages (1 inch = 72 points)
    bool useRasterization = false;  // false: redraw (rewrite) the document; true: one JPEG picture per page
};

struct ImageCompressionSettings {
    double quality = 0.85;  // lossy quality for JPEG and HEIC; PNG and TIFF (lossless LZW) ignore it
    double scale = 1.0;     // linear factor on the pixel size; 1.0 or more keeps the size
    ImageOutputFormat format = ImageOutputFormat::jpeg;
};

// Progress of a long job, called on the thread doing the work. `report(done, total)` follows
// each step (a page, an image); `isCancelled()` is asked between steps, and a job that sees true
// stops and yields nothing.
struct CompressionProgress {
    std::function<void(int done, int total)> report;
    std::function<bool()> isCancelled;
};

}  // namespace scrivola
