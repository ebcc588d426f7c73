#pragma once

// A GIF writer (Qt's plugin only reads GIF): a median-cut palette of at most 256 colours per frame
// and the GIF variant of LZW. Pixels with alpha below one half become the transparent index.

#include <QByteArray>
#include <QImage>
#include <QList>

namespace scrivola::codec {

// One frame is a still GIF; several frames loop forever, each shown `delayCentiseconds`.
// Every frame is drawn at the top-left of a canvas the size of the first frame. Empty on a null frame.
QByteArray encodeGif(const QList<QImage>& frames, int delayCentiseconds = 10);

}  // namespace scrivola::codec
