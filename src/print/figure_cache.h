#pragma once

#include <QImage>

#include <cstddef>
#include <list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "core/error_report.h"
#include "core/platform.h"

namespace vexora::print {

// Bytes of placed pictures a FigureCache keeps by default: 341 figures of 256 × 256.
inline constexpr std::size_t kFigureCacheBytes = 64u * 1024u * 1024u;

// Figures decoded and fitted once per print run: a run of many sheets places the same
// figures again and again. The files are taken as they are at their first use in a run;
// clear() starts the next run. Bounded by the bytes of the pictures it keeps, the least
// recently used dropped first.
// fitted() and clear() belong to the main thread; a returned picture may be read by any thread.
class FigureCache {
public:
    explicit FigureCache(std::size_t maxBytes = kFigureCacheBytes);
    FigureCache(const FigureCache&) = delete;
    FigureCache& operator=(const FigureCache&) = delete;

    // The picture a figure component gets: the file at path read as LoadGraphicsFile reads
    // it and drawn by FitBitmap into a side × side 24-bit picture. Later calls for the same
    // path and side share the same pixels. Nothing when no file exists there (not
    // remembered, so a file that appears later is found) or when side is not positive.
    // A file that cannot be read is reported once a run (with CkNoExceptMsg on the
    // LoadGraphicsFile log line, otherwise a message box) and then answered with nothing
    // without reading it again. Throws only when memory runs out.
    std::optional<QImage> fitted(const std::string& path, int side, PlatformServices& platform,
                                 const Reporting& reporting);

    // A new run: forgets every picture and every unreadable file.
    void clear();

    std::size_t maxBytes() const { return maxBytes_; }
    // Bytes of the pictures kept now; never more than maxBytes().
    std::size_t bytes() const { return bytes_; }
    // Pictures kept now.
    std::size_t size() const { return order_.size(); }
    // Files read since construction, those that could not be read too; clear() keeps it.
    std::size_t decodes() const { return decodes_; }

private:
    using Key = std::pair<std::string, int>;  // path, side
    struct Entry {
        Key key;
        QImage picture;
        std::size_t bytes = 0;
    };

    void keep(Key key, const QImage& picture);

    std::size_t maxBytes_;
    std::size_t bytes_ = 0;
    std::size_t decodes_ = 0;
    std::list<Entry> order_;  // most recently used first
    std::map<Key, std::list<Entry>::iterator> index_;
    std::set<std::string> unreadable_;
};

}  // namespace vexora::print
