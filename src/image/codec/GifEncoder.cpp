// GIF writing: palette quantisation (exact when the frame has at most 256 colours, median cut
// otherwise) and the GIF flavour of LZW with variable code sizes and sub-blocks.

#include "image/codec/GifEncoder.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace scrivola::codec {

namespace {

constexpr int kMaxColours = 256;
constexpr int kHistogramBits = 5;  // per channel for median cut
constexpr int kBins = 1 << (3 * kHistogramBits);

struct Quantised {
    std::vector<QRgb> palette;   // opaque colours
    int transparentIndex = -1;   // index past the colours when the frame has transparent pixels
    std::vector<uint8_t> indices;
};

int binOf(QRgb c) {
    return ((qRed(c) >> 3) << 10) | ((qGreen(c) >> 3) << 5) | (qBlue(c) >> 3);
}

bool isTransparent(QRgb c) { return qAlpha(c) < 128; }

struct Bin {
    int index = 0;
    qint64 count = 0;
    qint64 sum[3] = {0, 0, 0};
    int channel(int axis) const { return (index >> (10 - 5 * axis)) & 31; }
};

// Median cut over the 15-bit histogram: repeatedly split the box with the widest channel range
// (weighted by its pixel count) at the pixel median of that channel.
std::vector<QRgb> medianCut(std::vector<Bin>& bins, int colours, std::vector<int>& binToPalette) {
    struct Box { size_t begin, end; qint64 count; };
    auto rangeOf = [&](const Box& box, int& axis) {
        int best = -1;
        for (int a = 0; a < 3; ++a) {
            int lo = 31, hi = 0;
            for (size_t i = box.begin; i < box.end; ++i) {
                lo = std::min(lo, bins[i].channel(a));
                hi = std::max(hi, bins[i].channel(a));
            }
            if (hi - lo > best) { best = hi - lo; axis = a; }
        }
        return best;
    };
    std::vector<Box> boxes;
    qint64 total = 0;
    for (const Bin& b : bins) total += b.count;
    boxes.push_back({0, bins.size(), total});
    while (int(boxes.size()) < colours) {
        int chosen = -1, axis = 0;
        double bestScore = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].end - boxes[i].begin < 2) continue;
            int a = 0;
            const int range = rangeOf(boxes[i], a);
            const double score = double(range) * double(boxes[i].count);
            if (range > 0 && score > bestScore) { bestScore = score; chosen = int(i); axis = a; }
        }
        if (chosen < 0) break;
        Box box = boxes[size_t(chosen)];
        std::sort(bins.begin() + qsizetype(box.begin), bins.begin() + qsizetype(box.end),
                  [axis](const Bin& x, const Bin& y) { return x.channel(axis) < y.channel(axis); });
        qint64 acc = 0;
        size_t split = box.begin + 1;
        for (size_t i = box.begin; i < box.end - 1; ++i) {
            acc += bins[i].count;
            split = i + 1;
            if (acc * 2 >= box.count) break;
        }
        qint64 left = 0;
        for (size_t i = box.begin; i < split; ++i) left += bins[i].count;
        boxes[size_t(chosen)] = {box.begin, split, left};
        boxes.push_back({split, box.end, box.count - left});
    }
    std::vector<QRgb> palette;
    for (const Box& box : boxes) {
        qint64 sum[3] = {0, 0, 0}, count = 0;
        for (size_t i = box.begin; i < box.end; ++i) {
            for (int a = 0; a < 3; ++a) sum[a] += bins[i].sum[a];
            count += bins[i].count;
        }
        count = std::max<qint64>(count, 1);
        palette.push_back(qRgb(int(sum[0] / count), int(sum[1] / count), int(sum[2] / count)));
    }
    // Each histogram bin maps to the nearest palette colour (nearest to the bin's mean colour).
    binToPalette.assign(kBins, 0);
    for (const Bin& b : bins) {
        const qint64 n = std::max<qint64>(b.count, 1);
        const int r = int(b.sum[0] / n), g = int(b.sum[1] / n), bl = int(b.sum[2] / n);
        int best = 0, bestDistance = INT32_MAX;
        for (size_t p = 0; p < palette.size(); ++p) {
            const int dr = qRed(palette[p]) - r, dg = qGreen(palette[p]) - g, db = qBlue(palette[p]) - bl;
            const int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (d < bestDistance) { bestDistance = d; best = int(p); }
        }
        binToPalette[size_t(b.index)] = best;
    }
    return palette;
}

Quantised quantise(const QImage& frame) {
    Quantised q;
    const int w = frame.width(), h = frame.height();
    bool anyTransparent = false;
    QHash<QRgb, int> exact;
    bool exactFits = true;
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (isTransparent(line[x])) { anyTransparent = true; continue; }
            if (exactFits && !exact.contains(line[x] | 0xFF000000)) {
                if (exact.size() >= kMaxColours) exactFits = false;
                else exact.insert(line[x] | 0xFF000000, int(exact.size()));
            }
        }
    }
    const int colourSlots = anyTransparent ? kMaxColours - 1 : kMaxColours;
    q.indices.resize(size_t(w) * size_t(h));
    if (exactFits && exact.size() <= colourSlots) {
        q.palette.resize(size_t(exact.size()));
        for (auto it = exact.cbegin(); it != exact.cend(); ++it) q.palette[size_t(it.value())] = it.key();
        if (anyTransparent) q.transparentIndex = int(q.palette.size());
        for (int y = 0; y < h; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            for (int x = 0; x < w; ++x)
                q.indices[size_t(y) * size_t(w) + size_t(x)] =
                    uint8_t(isTransparent(line[x]) ? q.transparentIndex : exact.value(line[x] | 0xFF000000));
        }
        return q;
    }
    std::vector<Bin> histogram(kBins);
    for (int i = 0; i < kBins; ++i) histogram[size_t(i)].index = i;
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (isTransparent(line[x])) continue;
            Bin& b = histogram[size_t(binOf(line[x]))];
            ++b.count;
            b.sum[0] += qRed(line[x]);
            b.sum[1] += qGreen(line[x]);
            b.sum[2] += qBlue(line[x]);
        }
    }
    std::vector<Bin> used;
    for (const Bin& b : histogram)
        if (b.count > 0) used.push_back(b);
    std::vector<int> binToPalette;
    q.palette = medianCut(used, colourSlots, binToPalette);
    if (anyTransparent) q.transparentIndex = int(q.palette.size());
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        for (int x = 0; x < w; ++x)
            q.indices[size_t(y) * size_t(w) + size_t(x)] =
                uint8_t(isTransparent(line[x]) ? q.transparentIndex : binToPalette[size_t(binOf(line[x]))]);
    }
    return q;
}

// Codes are packed least significant bit first and written in sub-blocks of at most 255 bytes.
class CodeWriter {
public:
    explicit CodeWriter(QByteArray& out) : out_(out) {}
    void write(int code, int size) {
        bits_ |= uint32_t(code) << count_;
        count_ += size;
        while (count_ >= 8) {
            push(uint8_t(bits_ & 0xFF));
            bits_ >>= 8;
            count_ -= 8;
        }
    }
    void finish() {
        if (count_ > 0) push(uint8_t(bits_ & 0xFF));
        flushBlock();
        out_.append('\0');
    }

private:
    void push(uint8_t byte) {
        block_[size_t(blockSize_++)] = byte;
        if (blockSize_ == 255) flushBlock();
    }
    void flushBlock() {
        if (blockSize_ == 0) return;
        out_.append(char(blockSize_));
        out_.append(reinterpret_cast<const char*>(block_.data()), blockSize_);
        blockSize_ = 0;
    }
    QByteArray& out_;
    uint32_t bits_ = 0;
    int count_ = 0;
    std::array<uint8_t, 255> block_{};
    int blockSize_ = 0;
};

// String table of (prefix code, next index) → code, open addressing; cheap to reset on each clear code.
class CodeTable {
public:
    CodeTable() : keys_(kSize, -1), codes_(kSize, 0) {}
    void reset() { std::fill(keys_.begin(), keys_.end(), -1); }
    int find(int prefix, int index) const {
        const int32_t key = (index << 12) | prefix;
        for (uint32_t slot = hash(key);; slot = (slot + 1) & (kSize - 1)) {
            if (keys_[slot] == key) return codes_[slot];
            if (keys_[slot] < 0) return -1;
        }
    }
    void insert(int prefix, int index, int code) {
        const int32_t key = (index << 12) | prefix;
        uint32_t slot = hash(key);
        while (keys_[slot] >= 0) slot = (slot + 1) & (kSize - 1);
        keys_[slot] = key;
        codes_[slot] = int16_t(code);
    }

private:
    static constexpr uint32_t kSize = 8192;  // at most 4096 entries: load stays at or below one half
    static uint32_t hash(int32_t key) { return (uint32_t(key) * 2654435761u) >> 19; }
    std::vector<int32_t> keys_;
    std::vector<int16_t> codes_;
};

void writeLzw(QByteArray& out, const std::vector<uint8_t>& indices, int minCodeSize) {
    out.append(char(minCodeSize));
    CodeWriter writer(out);
    CodeTable table;
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    int codeSize = minCodeSize + 1;
    int maxCode = endCode;
    writer.write(clearCode, codeSize);
    int current = -1;
    for (const uint8_t index : indices) {
        if (current < 0) {
            current = index;
            continue;
        }
        if (const int code = table.find(current, index); code >= 0) {
            current = code;
            continue;
        }
        writer.write(current, codeSize);
        table.insert(current, index, ++maxCode);
        if (maxCode >= (1 << codeSize)) ++codeSize;
        if (maxCode == 4095) {
            writer.write(clearCode, codeSize);
            table.reset();
            codeSize = minCodeSize + 1;
            maxCode = endCode;
        }
        current = index;
    }
    if (current >= 0) writer.write(current, codeSize);
    writer.write(endCode, codeSize);
    writer.finish();
}

void appendShort(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void appendFrame(QByteArray& out, const QImage& source, QSize canvas, int delay, bool animated) {
    const QImage frame = source.copy(QRect(QPoint(0, 0), canvas.boundedTo(source.size())))
                             .convertToFormat(QImage::Format_ARGB32);
    const Quantised q = quantise(frame);
    const int entries = int(q.palette.size()) + (q.transparentIndex >= 0 ? 1 : 0);
    int tableBits = 1;
    while ((1 << tableBits) < entries) ++tableBits;

    if (animated || q.transparentIndex >= 0) {  // graphic control extension
        out.append("\x21\xF9\x04", 3);
        const int disposal = animated ? 2 : 0;  // restore to background before the next frame
        out.append(char((disposal << 2) | (q.transparentIndex >= 0 ? 1 : 0)));
        appendShort(out, animated ? delay : 0);
        out.append(char(q.transparentIndex >= 0 ? q.transparentIndex : 0));
        out.append('\0');
    }
    out.append('\x2C');
    appendShort(out, 0);
    appendShort(out, 0);
    appendShort(out, frame.width());
    appendShort(out, frame.height());
    out.append(char(0x80 | (tableBits - 1)));  // local colour table of 2^tableBits entries
    for (int i = 0; i < (1 << tableBits); ++i) {
        const QRgb c = i < int(q.palette.size()) ? q.palette[size_t(i)] : qRgb(0, 0, 0);
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    writeLzw(out, q.indices, std::max(2, tableBits));
}

}  // namespace

QByteArray encodeGif(const QList<QImage>& frames, int delayCentiseconds) {
    if (frames.isEmpty()) return {};
    for (const QImage& frame : frames)
        if (frame.isNull()) return {};
    const QSize canvas = frames.first().size();
    if (canvas.width() > 0xFFFF || canvas.height() > 0xFFFF) return {};
    const bool animated = frames.size() > 1;

    QByteArray out("GIF89a");
    appendShort(out, canvas.width());
    appendShort(out, canvas.height());
    out.append('\0');  // no global colour table: each frame carries its own
    out.append('\0');  // background colour index
    out.append('\0');  // square pixels
    if (animated) out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);  // loop forever
    for (const QImage& frame : frames) appendFrame(out, frame, canvas, qBound(0, delayCentiseconds, 0xFFFF), animated);
    out.append('\x3B');
    return out;
}

}  // namespace scrivola::codec
