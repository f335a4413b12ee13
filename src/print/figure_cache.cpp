#include "print/figure_cache.h"

#include <stdexcept>

#include "print/figure_files.h"

namespace vexora::print {

FigureCache::FigureCache(std::size_t maxBytes) : maxBytes_(maxBytes) {}

std::optional<QImage> FigureCache::fitted(const std::string& path, int side,
                                          PlatformServices& platform, const Reporting& reporting) {
    if (side <= 0 || !platform.fileExists(path) || unreadable_.contains(path))
        return std::nullopt;
    Key key(path, side);
    if (const auto found = index_.find(key); found != index_.end()) {
        order_.splice(order_.begin(), order_, found->second);
        return found->second->picture;
    }

    ++decodes_;
    std::string reason;
    const QImage source = readFigurePicture(path, reason);
    if (source.isNull()) {
        // Gone while being read: a missing file, which is not remembered.
        if (!platform.fileExists(path))
            return std::nullopt;
        unreadable_.insert(path);
        if (reporting.switches.CkNoExceptMsg) {
            reporting.log.ScriviErrorLog("", 0, "UDorvel/LoadGraphicsFile - " + reason);
        } else {
            reporting.error(1, "UDorvel/LoadGraphicsFile - ",
                            "Impossibile leggere la figura\r\nERRORE: ", reason);
        }
        return std::nullopt;
    }
    QImage target(side, side, QImage::Format_RGB888);
    FitBitmap(source, target);
    // A target that could not be allocated (here or inside FitBitmap) stays null.
    if (target.isNull())
        throw std::runtime_error("Memoria insufficiente per la figura " + path);
    keep(std::move(key), target);
    return target;
}

void FigureCache::keep(Key key, const QImage& picture) {
    const auto size = static_cast<std::size_t>(picture.sizeInBytes());
    // Kept, it would push out everything else and still not fit.
    if (size > maxBytes_)
        return;
    while (bytes_ + size > maxBytes_) {
        const Entry& oldest = order_.back();
        bytes_ -= oldest.bytes;
        index_.erase(oldest.key);
        order_.pop_back();
    }
    order_.push_front(Entry{key, picture, size});
    try {
        index_.emplace(std::move(key), order_.begin());
    } catch (...) {
        order_.pop_front();
        throw;
    }
    bytes_ += size;
}

void FigureCache::clear() {
    index_.clear();
    order_.clear();
    unreadable_.clear();
    bytes_ = 0;
}

}  // namespace vexora::print
