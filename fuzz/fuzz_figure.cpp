// fuzz-deps: vexora_core Qt6::Gui
// fuzz-sources: src/print/figure_files.cpp src/print/text_util.cpp
// Loads arbitrary bytes as a figure bitmap file and fits what reads into the 256 x 256
// picture a sheet receives. A file either gives a colour picture within the pixel
// ceiling, or a reason that names the file; nothing may crash, hang or allocate more
// than the file's bytes can account for.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "print/figure_files.h"

namespace {

// The scratch file of this process, removed when it ends.
struct ScratchFile {
    std::string path =
        ((std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm")
                                              : std::filesystem::temp_directory_path()) /
         ("vexora-fuzz-figure-" + std::to_string(::getpid()) + ".bmp"))
            .string();
    ~ScratchFile() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexora::print;
    static const ScratchFile scratch;
    {
        std::ofstream out(scratch.path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::string reason;
    const QImage picture = readFigurePicture(scratch.path, reason);
    if (picture.isNull()) {
        if (reason.find(scratch.path) == std::string::npos)
            std::abort();
        return 0;
    }
    if (picture.hasAlphaChannel() ||
        static_cast<long long>(picture.width()) * picture.height() > kMaxFigurePixels)
        std::abort();
    QImage placed(kPlacedFigureSide, kPlacedFigureSide, QImage::Format_RGB888);
    FitBitmap(picture, placed);
    if (placed.size() != QSize(kPlacedFigureSide, kPlacedFigureSide))
        std::abort();
    return 0;
}
