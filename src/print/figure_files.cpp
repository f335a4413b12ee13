#include "print/figure_files.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "core/file_util.h"
#include "print/text_util.h"

namespace vexora::print {
namespace {

// Decimal integer of the whole text (optional sign, digits only); 0 otherwise.
long long decimalOrZero(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return 0;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int>::max())
            return 0;
    }
    return negative ? -value : value;
}

// Lower-case extension of a path without the dot; empty when there is none.
QByteArray extensionOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return QByteArray::fromStdString(path.substr(dot + 1)).toLower();
}

}  // namespace

QImage readFigurePicture(const std::string& path, std::string& reason) {
    std::string error;
    const auto bytes = readWholeFile(path, kMaxFigureFileBytes, &error);
    if (!bytes) {
        reason = error;
        return {};
    }
    QByteArray data = QByteArray::fromStdString(*bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = extensionOf(path);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(format.isEmpty());
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) {
        reason = "La figura \"" + path + "\" non è un'immagine leggibile (" +
                 reader.errorString().toStdString() + ")";
        return {};
    }
    // A header may claim any size; decode only what the file's bytes can account for
    // (8 pixels a byte covers every uncompressed depth), within a fixed ceiling.
    const long long pixels = static_cast<long long>(size.width()) * size.height();
    const long long budget = std::min<long long>(
        kMaxFigurePixels,
        std::max<long long>(1024LL * 1024LL, static_cast<long long>(data.size()) * 8));
    if (pixels > budget) {
        reason = "La figura \"" + path + "\" dichiara " + std::to_string(size.width()) + " x " +
                 std::to_string(size.height()) + " pixel, troppi per un file di " +
                 std::to_string(data.size()) + " byte";
        return {};
    }
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        reason =
            "La figura \"" + path + "\" non è leggibile: " + reader.errorString().toStdString();
        return {};
    }
    // Colour without alpha; a picture read that way already is kept as it is.
    QImage result = picture.convertToFormat(QImage::Format_RGB32);
    if (result.isNull()) {
        // Conversion refused: draw the picture onto a 24-bit bitmap of its size.
        result = QImage(picture.size(), QImage::Format_RGB888);
        if (result.isNull()) {
            reason = "Memoria insufficiente per la figura \"" + path + "\"";
            return {};
        }
        result.fill(Qt::white);
        QPainter painter(&result);
        painter.drawImage(QPoint(0, 0), picture);
    }
    return result;
}

int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const std::int64_t num = static_cast<std::int64_t>(a) * b;
    const std::int64_t den = c;
    std::int64_t q = num / den;
    const std::int64_t r = num % den;
    // Round half away from zero: compare twice the remainder with the divisor.
    const std::int64_t r2 = r < 0 ? -2 * r : 2 * r;
    const std::int64_t d = den < 0 ? -den : den;
    if (r2 >= d)
        q += ((num < 0) != (den < 0)) ? -1 : 1;
    if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(q);
}

FitRect fitRectangle(int ws, int hs, int wt, int ht) {
    if (ws <= 0 || hs <= 0 || wt <= 0 || ht <= 0)
        return {};
    const double rs = static_cast<double>(ws) / hs;
    const double rt = static_cast<double>(wt) / ht;
    FitRect r;
    if (rs < rt) {
        const int w = MulDiv(ht, ws, hs);
        r.left = (wt - w) / 2;
        r.right = r.left + w;
        r.top = 0;
        r.bottom = ht;
    } else if (rs > rt) {
        const int h = MulDiv(wt, hs, ws);
        r.top = (ht - h) / 2;
        r.bottom = r.top + h;
        r.left = 0;
        r.right = wt;
    } else {
        const int h = MulDiv(wt, hs, ws) - 10;
        r.top = (ht - h) / 2 + 5;
        r.bottom = r.top + h - 10;
        r.left = 5;
        r.right = wt - 10;
    }
    return r;
}

void FitBitmap(const QImage& source, QImage& target) {
    const int wt = target.width();
    const int ht = target.height();
    if (wt <= 0 || ht <= 0)
        return;
    QImage work(wt, ht, QImage::Format_RGB888);
    work.fill(Qt::white);
    const FitRect r = fitRectangle(source.width(), source.height(), wt, ht);
    if (r.right > r.left && r.bottom > r.top) {
        // Scaled first, then copied unscaled: a scaled draw hands the work to Qt's
        // thread pool, which costs more than it saves for pictures this small.
        const QImage scaled = source.convertToFormat(QImage::Format_RGB32)
                                  .scaled(r.right - r.left, r.bottom - r.top, Qt::IgnoreAspectRatio,
                                          Qt::SmoothTransformation);
        QPainter painter(&work);
        painter.drawImage(QPoint(r.left, r.top), scaled);
    }
    target = work;
}

std::optional<QImage> LoadGraphicsFile(const std::string& path, PlatformServices& platform,
                                       const Reporting& reporting) {
    if (!platform.fileExists(path))
        return std::nullopt;
    std::string reason;
    try {
        QImage picture = readFigurePicture(path, reason);
        if (!picture.isNull())
            return picture;
    } catch (const std::exception& e) {
        // Whatever else failed on the way (memory, most likely) is logged the same way.
        if (!reporting.switches.CkNoExceptMsg)
            throw;
        reason = e.what();
    }
    if (!reporting.switches.CkNoExceptMsg)
        throw FigureError(reason);
    reporting.log.ScriviErrorLog("", 0, "UDorvel/LoadGraphicsFile - " + reason);
    return std::nullopt;
}

std::string figureFilePath(std::string_view figuresFolder, std::string_view fileName) {
    std::string path(figuresFolder);
    // A folder typed without its trailing separator still names the folder.
    if (!path.empty() && path.back() != '/' && path.back() != '\\')
        path += pathSeparator();
    path += fileName;
    return path;
}

std::string plainFigurePath(std::string_view figuresFolder, std::string_view figura) {
    return figureFilePath(figuresFolder, std::string(figura) + ".bmp");
}

std::string GetFiguraSUP(std::string_view figura, TModalitaQuiz category,
                         std::string_view figuresFolder, PlatformServices& platform, RunLog& log) {
    std::string out;
    if (category < mqSuperC1 || category > mqCqc5B)
        return out;
    const std::string name(figura);
    if (decimalOrZero(figura) >= 800)
        out = figureFilePath(figuresFolder, name + "n.bmp");
    if (!platform.fileExists(out))
        out = figureFilePath(figuresFolder, name + ".bmp");
    if (!trimBlanks(figura).empty() && !platform.fileExists(out)) {
        log.ScriviErrorLog(
            "", 1,
            "TFormStampe.GetFiguraSUP - La figura \"" + out + "\" ( da " + name + ") non esiste.");
    }
    return out;
}

}  // namespace vexora::print
