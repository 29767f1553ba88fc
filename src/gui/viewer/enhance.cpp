#include "viewer/enhance.h"

#include <cmath>
#include <vector>

namespace folivo::gui {

namespace {

// One box blur of half-width `r` along rows (`horizontal`) or columns of a planar channel.
void boxBlur(const std::vector<float>& in, std::vector<float>& out, int w, int h, int r, bool horizontal)
{
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    const auto at = [&](int line, int i) {
        return horizontal ? size_t(line) * size_t(w) + size_t(i) : size_t(i) * size_t(w) + size_t(line);
    };
    const float norm = 1.0f / float(2 * r + 1);
    for (int line = 0; line < lines; ++line) {
        // Edges repeat the edge pixel.
        const auto value = [&](int i) { return in[at(line, std::clamp(i, 0, length - 1))]; };
        float sum = 0;
        for (int i = -r; i <= r; ++i)
            sum += value(i);
        for (int i = 0; i < length; ++i) {
            out[at(line, i)] = sum * norm;
            sum += value(i + r + 1) - value(i - r);
        }
    }
}

} // namespace

QImage unsharpMask(const QImage& image, double radius, double amount)
{
    if (image.isNull())
        return {};
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    const int w = src.width();
    const int h = src.height();
    // Three box blurs of this half-width come close to a Gaussian of sigma `radius`.
    const int r = std::max(1, int(std::lround(std::sqrt(4.0 * radius * radius + 1.0) / 2.0 - 0.5)));
    QImage result(w, h, QImage::Format_ARGB32);
    std::vector<float> plane(size_t(w) * size_t(h));
    std::vector<float> tmp(plane.size());
    for (int channel = 0; channel < 3; ++channel) {
        const int shift = 16 - 8 * channel; // red, green, blue
        for (int y = 0; y < h; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
            for (int x = 0; x < w; ++x)
                plane[size_t(y) * size_t(w) + size_t(x)] = float((line[x] >> shift) & 0xff);
        }
        std::vector<float> blurred = plane;
        for (int pass = 0; pass < 3; ++pass) {
            boxBlur(blurred, tmp, w, h, r, true);
            boxBlur(tmp, blurred, w, h, r, false);
        }
        for (int y = 0; y < h; ++y) {
            auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
            const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                const size_t i = size_t(y) * size_t(w) + size_t(x);
                const float v = plane[i] + float(amount) * (plane[i] - blurred[i]);
                const auto byte = QRgb(std::clamp(int(std::lround(v)), 0, 255));
                const QRgb keep = channel == 0 ? (in[x] & 0xff000000u) : out[x];
                out[x] = (keep & ~(0xffu << shift)) | (byte << shift);
            }
        }
    }
    return result;
}

} // namespace folivo::gui
