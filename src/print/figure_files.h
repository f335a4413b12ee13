#pragma once

#include <QImage>

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/catalogue.h"
#include "core/error_report.h"
#include "core/platform.h"
#include "core/run_log.h"

namespace vexora::print {

// Side in pixels of the square picture a figure component receives.
inline constexpr int kPlacedFigureSide = 256;
// Largest figure file LoadGraphicsFile reads.
inline constexpr std::size_t kMaxFigureFileBytes = 32u * 1024u * 1024u;
// Most pixels a figure may decode to, whatever its file claims.
inline constexpr long long kMaxFigurePixels = 4096LL * 4096LL;

// A figure file that exists but cannot be read as a picture; the message names the file.
class FigureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// a × b / c computed in 64 bits and rounded to the nearest integer, halves away from
// zero; -1 when c is 0 or the result does not fit an int (as the Windows call).
int MulDiv(int a, int b, int c);

// Edges of the rectangle a picture is drawn into: columns left .. right - 1 and rows
// top .. bottom - 1.
struct FitRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const FitRect&) const = default;
};

// Where FitBitmap draws a source of ws × hs pixels into a target of wt × ht: centred
// across the full height (taller source) or width (wider source); a source of the
// target's exact proportions gets the fixed inset. All zero for an empty source or target.
FitRect fitRectangle(int ws, int hs, int wt, int ht);

// Draws source stretched into fitRectangle of target on white; target keeps its size and
// becomes a 24-bit picture. The source is not changed.
void FitBitmap(const QImage& source, QImage& target);

// The picture in the existing file at path as LoadGraphicsFile reads it, reporting nothing:
// a null picture and reason set (naming the file) when the file cannot be read as one.
// Throws only what running out of memory throws.
QImage readFigurePicture(const std::string& path, std::string& reason);

// Loads the picture at path as the type its extension names (a Windows bitmap for
// figures), as colour without alpha. Nothing when no file exists there. A file that cannot be read:
// with CkNoExceptMsg on, the log line "UDorvel/LoadGraphicsFile - " + reason (level 0) and nothing;
// otherwise FigureError.
std::optional<QImage> LoadGraphicsFile(const std::string& path, PlatformServices& platform,
                                       const Reporting& reporting);

// A file of the figures folder: the folder, a path separator unless it ends with one,
// and the file name.
std::string figureFilePath(std::string_view figuresFolder, std::string_view fileName);

// Figure path of AB and AM: folder + figure name + ".bmp".
std::string plainFigurePath(std::string_view figuresFolder, std::string_view figura);

// Figure path of S1 .. C5: figure numbers from 800 up prefer the name + "n.bmp" file;
// otherwise name + ".bmp". A non-blank name whose file is missing is logged (level 1).
// Empty for AB, AM and any value that is not S1 .. C5.
std::string GetFiguraSUP(std::string_view figura, TModalitaQuiz category,
                         std::string_view figuresFolder, PlatformServices& platform, RunLog& log);

}  // namespace vexora::print
