// Figure catalogue and road-sign-like bitmaps. Pictures are drawn with QPainter on a
// QImage (no QGuiApplication needed: no text is drawn, the label is made of
// seven-segment strokes, which also keeps the bytes independent of installed fonts) and
// encoded here, because Qt's BMP writer neither writes 32-bit files nor keeps an 8-bit
// palette of more than 16 colours as 8 bits.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRectF>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>
#include <unordered_map>

#include "sample_data.h"

namespace vexora::sampledata {
namespace {

constexpr std::uint64_t kFigureStream = 0x46494755'52455321ull;

constexpr int kLowNames = 300;
constexpr int kLowMissing = 2;
constexpr int kLetterSuffixed = 10;
constexpr int kFirstHigh = 800;
constexpr int kHighRange = 500;  // 800 .. 1299
constexpr int kHighNames = 160;
constexpr int kHighMissing = 8;

const QColor kRed(200, 16, 46);
const QColor kBlue(0, 85, 164);
const QColor kYellow(255, 204, 0);
const QColor kGreen(0, 128, 74);
const QColor kInk(26, 26, 26);
const QColor kGrey(128, 128, 128);
const QColor kWhite(255, 255, 255);

// Numeric part first, then the whole name: "137" < "137a" < "138".
bool figureLess(const FigureName& a, const FigureName& b) {
    const int na = std::atoi(a.name.c_str());
    const int nb = std::atoi(b.name.c_str());
    return na != nb ? na < nb : a.name < b.name;
}

// Seven-segment patterns (bit 0 = top, then clockwise, bit 6 = middle).
std::uint8_t segmentsOf(char c) {
    static constexpr std::array<std::uint8_t, 10> kDigits = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                             0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    if (c >= '0' && c <= '9')
        return kDigits[static_cast<std::size_t>(c - '0')];
    switch (c) {
        case 'a':
            return 0x5F;
        case 'b':
            return 0x7C;
        case 'n':
            return 0x54;
        default:
            return 0x40;
    }
}

// Draws label centred in box with seven-segment strokes.
void drawLabel(QPainter& p, const QRectF& box, const std::string& label, const QColor& colour) {
    const double n = static_cast<double>(label.size());
    const double gapRatio = 0.35;
    double cw = std::min(box.width() / (n + (n - 1) * gapRatio), box.height() * 0.55);
    const double ch = cw / 0.55;
    const double stroke = std::max(1.2, cw * 0.2);
    cw = std::max(cw, 2.0);
    const double total = n * cw + (n - 1) * gapRatio * cw;
    double x = box.center().x() - total / 2;
    const double y = box.center().y() - ch / 2;
    QPen pen(colour, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    for (char c : label) {
        const std::uint8_t s = segmentsOf(c);
        const QPointF tl(x, y), tr(x + cw, y), ml(x, y + ch / 2), mr(x + cw, y + ch / 2),
            bl(x, y + ch), br(x + cw, y + ch);
        const std::array<std::pair<QPointF, QPointF>, 7> seg = {
            {{tl, tr}, {tr, mr}, {mr, br}, {bl, br}, {ml, bl}, {tl, ml}, {ml, mr}}};
        for (std::size_t i = 0; i < seg.size(); ++i)
            if (s & (1u << i))
                p.drawLine(seg[i].first, seg[i].second);
        x += cw * (1 + gapRatio);
    }
}

QPolygonF regularPolygon(const QPointF& centre, double radius, int corners, double startDeg) {
    QPolygonF poly;
    for (int i = 0; i < corners; ++i) {
        const double a = (startDeg + 360.0 * i / corners) * std::numbers::pi / 180.0;
        poly << QPointF(centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a));
    }
    return poly;
}

// Draws a sign filling the square area (side s at x0, y0); returns the label box and
// label colour.
std::pair<QRectF, QColor> drawSign(QPainter& p, SignShape shape, double x0, double y0, double s) {
    const double m = std::max(2.0, s * 0.05);
    const double border = std::max(2.0, s * 0.09);
    const QPointF c(x0 + s / 2, y0 + s / 2);
    const double r = s / 2 - m;
    switch (shape) {
        case SignShape::Triangle: {
            QPolygonF tri;
            tri << QPointF(c.x(), y0 + m) << QPointF(x0 + s - m, y0 + s - m)
                << QPointF(x0 + m, y0 + s - m);
            p.setPen(QPen(kRed, border, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(kWhite);
            p.drawPolygon(tri);
            return {QRectF(x0 + s * 0.3, y0 + s * 0.46, s * 0.4, s * 0.36), kInk};
        }
        case SignShape::Ring:
            p.setPen(QPen(kRed, border));
            p.setBrush(kWhite);
            p.drawEllipse(c, r - border / 2, r - border / 2);
            return {QRectF(x0 + s * 0.26, y0 + s * 0.3, s * 0.48, s * 0.4), kInk};
        case SignShape::Disc:
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue);
            p.drawEllipse(c, r, r);
            return {QRectF(x0 + s * 0.24, y0 + s * 0.3, s * 0.52, s * 0.4), kWhite};
        case SignShape::Octagon:
            p.setPen(QPen(kWhite, std::max(1.0, border / 3)));
            p.setBrush(kRed);
            p.drawPolygon(regularPolygon(c, r, 8, 22.5));
            return {QRectF(x0 + s * 0.2, y0 + s * 0.32, s * 0.6, s * 0.36), kWhite};
        case SignShape::Diamond:
            p.setPen(QPen(kInk, 1.0));
            p.setBrush(kWhite);
            p.drawPolygon(regularPolygon(c, r, 4, 0));
            p.setPen(Qt::NoPen);
            p.setBrush(kYellow);
            p.drawPolygon(regularPolygon(c, r * 0.72, 4, 0));
            return {QRectF(x0 + s * 0.32, y0 + s * 0.38, s * 0.36, s * 0.24), kInk};
        case SignShape::Square:
        case SignShape::WidePanel:
        case SignShape::PoleSign:
            p.setPen(QPen(kWhite, std::max(1.0, border / 2)));
            p.setBrush(kBlue);
            p.drawRoundedRect(QRectF(x0 + m, y0 + m, s - 2 * m, s - 2 * m), m, m);
            return {QRectF(x0 + s * 0.2, y0 + s * 0.25, s * 0.6, s * 0.5), kWhite};
    }
    return {QRectF(x0, y0, s, s), kInk};
}

QImage drawFigure(const FigureBitmap& b) {
    QImage img(b.width, b.height, QImage::Format_RGB32);
    img.fill(kWhite);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double w = b.width, h = b.height;
    if (b.shape == SignShape::WidePanel) {
        // Direction panel: arrow on the left, the number on the right.
        const double m = std::max(2.0, h * 0.06);
        p.setPen(QPen(kWhite, std::max(1.5, h * 0.05)));
        p.setBrush(b.label.size() % 2 ? kGreen : kBlue);
        p.drawRoundedRect(QRectF(m, m, w - 2 * m, h - 2 * m), m * 2, m * 2);
        QPolygonF arrow;
        arrow << QPointF(h * 0.2, h / 2) << QPointF(h * 0.55, h * 0.25)
              << QPointF(h * 0.55, h * 0.75);
        p.setPen(Qt::NoPen);
        p.setBrush(kWhite);
        p.drawPolygon(arrow);
        drawLabel(p, QRectF(h * 0.7, h * 0.22, w - h * 0.7 - m * 2.5, h * 0.56), b.label, kWhite);
    } else if (b.shape == SignShape::PoleSign) {
        // A sign on a pole: the sign takes the full width at the top.
        p.setPen(Qt::NoPen);
        p.setBrush(kGrey);
        p.drawRect(QRectF(w / 2 - std::max(1.5, w * 0.05), w * 0.8, std::max(3.0, w * 0.1), h));
        const SignShape top = (b.label.back() % 2) ? SignShape::Ring : SignShape::Triangle;
        const auto [box, colour] = drawSign(p, top, 0, 0, w);
        drawLabel(p, box, b.label, colour);
    } else {
        const auto [box, colour] = drawSign(p, b.shape, 0, 0, std::min(w, h));
        drawLabel(p, box, b.label, colour);
    }
    p.end();
    return img;
}

void putLe(std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// 216-colour cube, the sign colours and a grey ramp: 256 entries.
std::vector<QRgb> figurePalette() {
    std::vector<QRgb> pal;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                pal.push_back(qRgb(r * 51, g * 51, b * 51));
    for (const QColor& c : {kRed, kBlue, kYellow, kGreen, kInk, kGrey})
        pal.push_back(c.rgb());
    while (pal.size() < 256) {
        const int k = static_cast<int>(pal.size()) - 221;  // 1 .. 34
        pal.push_back(qRgb(k * 255 / 35, k * 255 / 35, k * 255 / 35));
    }
    return pal;
}

std::uint8_t nearestIndex(const std::vector<QRgb>& pal, QRgb c) {
    int best = 0;
    long bestDist = -1;
    for (std::size_t i = 0; i < pal.size(); ++i) {
        const long dr = qRed(pal[i]) - qRed(c), dg = qGreen(pal[i]) - qGreen(c),
                   db = qBlue(pal[i]) - qBlue(c);
        const long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) {
            bestDist = d;
            best = static_cast<int>(i);
        }
    }
    return static_cast<std::uint8_t>(best);
}

std::string encodeBmp(const QImage& img, int bitsPerPixel) {
    const int w = img.width(), h = img.height();
    const std::uint32_t rowBytes = ((static_cast<std::uint32_t>(w) * bitsPerPixel + 31) / 32) * 4;
    const std::uint32_t paletteBytes = bitsPerPixel == 8 ? 256 * 4 : 0;
    const std::uint32_t offset = 14 + 40 + paletteBytes;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(h);
    std::string out;
    out.reserve(offset + imageBytes);
    out += "BM";
    putLe(out, offset + imageBytes, 4);
    putLe(out, 0, 4);
    putLe(out, offset, 4);
    putLe(out, 40, 4);  // BITMAPINFOHEADER
    putLe(out, static_cast<std::uint32_t>(w), 4);
    putLe(out, static_cast<std::uint32_t>(h), 4);  // positive: rows bottom-up
    putLe(out, 1, 2);
    putLe(out, static_cast<std::uint32_t>(bitsPerPixel), 2);
    putLe(out, 0, 4);  // BI_RGB
    putLe(out, imageBytes, 4);
    putLe(out, 2835, 4);  // 72 dpi
    putLe(out, 2835, 4);
    putLe(out, bitsPerPixel == 8 ? 256 : 0, 4);
    putLe(out, 0, 4);

    std::vector<QRgb> pal;
    std::unordered_map<QRgb, std::uint8_t> cache;
    if (bitsPerPixel == 8) {
        pal = figurePalette();
        for (QRgb c : pal) {
            out.push_back(static_cast<char>(qBlue(c)));
            out.push_back(static_cast<char>(qGreen(c)));
            out.push_back(static_cast<char>(qRed(c)));
            out.push_back(0);
        }
    }
    for (int y = h - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        const std::size_t start = out.size();
        for (int x = 0; x < w; ++x) {
            const QRgb c = line[x];
            if (bitsPerPixel == 8) {
                auto it = cache.find(c);
                if (it == cache.end())
                    it = cache.emplace(c, nearestIndex(pal, c)).first;
                out.push_back(static_cast<char>(it->second));
            } else {
                out.push_back(static_cast<char>(qBlue(c)));
                out.push_back(static_cast<char>(qGreen(c)));
                out.push_back(static_cast<char>(qRed(c)));
                // The fourth byte is unused by BI_RGB; opaque for readers that take it
                // as alpha.
                if (bitsPerPixel == 32)
                    out.push_back(static_cast<char>(0xFF));
            }
        }
        out.append(rowBytes - (out.size() - start), '\0');
    }
    return out;
}

}  // namespace

FigureCatalogue buildFigureCatalogue(std::uint64_t seed) {
    SampleRng rng(streamSeed(seed, kFigureStream));
    FigureCatalogue cat;

    std::vector<int> low(kFirstHigh - 1);
    std::iota(low.begin(), low.end(), 1);
    rng.shuffle(low);
    for (int i = 0; i < kLowNames + kLowMissing; ++i)
        cat.low.push_back({std::to_string(low[static_cast<std::size_t>(i)]),
                           i < kLowNames ? FigureFiles::Plain : FigureFiles::Missing});
    // A few names with a letter suffix, so that texts can refer to a figure in another
    // letter case than its Figura value.
    for (int i = 0; i < kLetterSuffixed; ++i)
        cat.low.push_back({std::to_string(low[static_cast<std::size_t>(i)]) + (i % 2 ? "b" : "a"),
                           FigureFiles::Plain});
    std::sort(cat.low.begin(), cat.low.end(), figureLess);

    std::vector<int> high(kHighRange);
    std::iota(high.begin(), high.end(), kFirstHigh);
    rng.shuffle(high);
    for (int i = 0; i < kHighNames; ++i) {
        FigureFiles files = FigureFiles::Missing;
        if (i >= kHighMissing) {
            const auto r = rng.between(0, 9);
            files = r < 4 ? FigureFiles::SuffixN : (r < 8 ? FigureFiles::Plain : FigureFiles::Both);
        }
        cat.high.push_back({std::to_string(high[static_cast<std::size_t>(i)]), files});
    }
    std::sort(cat.high.begin(), cat.high.end(), figureLess);

    const auto addBitmap = [&](const std::string& label) {
        FigureBitmap b;
        b.label = label;
        b.fileName = label + ".bmp";
        const auto aspect = rng.between(0, 9);
        if (aspect < 6) {
            b.width = b.height = static_cast<int>(rng.between(40, 110));
            static constexpr std::array<SignShape, 6> kSquare = {
                SignShape::Triangle, SignShape::Ring,    SignShape::Disc,
                SignShape::Octagon,  SignShape::Diamond, SignShape::Square};
            b.shape = rng.pick(std::span<const SignShape>(kSquare));
        } else if (aspect < 8) {
            b.height = static_cast<int>(rng.between(40, 80));
            b.width = static_cast<int>(rng.between(b.height * 3 / 2 + 20, 190));
            b.shape = SignShape::WidePanel;
        } else {
            b.width = static_cast<int>(rng.between(40, 80));
            b.height = static_cast<int>(rng.between(b.width * 3 / 2 + 20, 190));
            b.shape = SignShape::PoleSign;
        }
        const auto depth = rng.between(0, 9);
        b.bitsPerPixel = depth < 3 ? 8 : (depth < 8 ? 24 : 32);
        cat.bitmaps.push_back(std::move(b));
    };
    for (const FigureName& f : cat.low)
        if (f.files != FigureFiles::Missing)
            addBitmap(f.name);
    for (const FigureName& f : cat.high) {
        if (f.files == FigureFiles::SuffixN || f.files == FigureFiles::Both)
            addBitmap(f.name + "n");
        if (f.files == FigureFiles::Plain || f.files == FigureFiles::Both)
            addBitmap(f.name);
    }
    return cat;
}

std::string renderFigureBmp(const FigureBitmap& bitmap) {
    if (bitmap.width <= 0 || bitmap.height <= 0 ||
        (bitmap.bitsPerPixel != 8 && bitmap.bitsPerPixel != 24 && bitmap.bitsPerPixel != 32))
        throw SampleDataError("figure " + bitmap.fileName + ": unsupported size or depth");
    return encodeBmp(drawFigure(bitmap), bitmap.bitsPerPixel);
}

}  // namespace vexora::sampledata
