#include "window_world.h"

#include <gtest/gtest.h>

#include "data/options_numbering.h"
#include "vexora-sample-data/sample_data.h"

namespace vexora::test {

namespace fs = std::filesystem;

int tabOf(TModalitaQuiz m) {
    const auto& tabs = data::categoryTabs();
    for (std::size_t i = 0; i < tabs.size(); ++i)
        if (tabs[i].category == m)
            return static_cast<int>(i);
    return -1;
}

const fs::path& sampleDataFolder() {
    static const TempDir dir;
    static const bool generated = [] {
        sampledata::GenerateOptions options;
        options.settingsFile = false;
        sampledata::generateSampleData(dir.path(), options);
        return true;
    }();
    (void)generated;
    return dir.path();
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> pdfFiles(const fs::path& folder, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && e.path().extension() == ".pdf")
            names.push_back(name);
    }
    return names;
}

WindowWorld::WindowWorld(const std::string& extraSettings) {
    const fs::path& data = sampleDataFolder();
    for (const auto& e : fs::directory_iterator(data)) {
        if (e.is_regular_file())
            fs::copy_file(e.path(), dir.path() / e.path().filename());
    }
    fs::copy_file(fs::path(VEXORA_PROGRAM_DIR) / "Vexora.rav", dir.path() / "Vexora.rav");
    std::ofstream ini(dir.file("Vexora.ini"), std::ios::binary);
    ini << "[Paths]\r\nFigure=" << (data / "PicSgn").string() << "/\r\n" << extraSettings;
}

void WindowWorld::start() {
    program = std::make_unique<app::Program>(dir.folder(), 7u);
    program->interaction().setAnswerer([this](bool question, const std::string& text) {
        (question ? questions : messages).push_back(text);
        return answer;
    });
    auto* app = static_cast<app::VexoraApplication*>(QCoreApplication::instance());
    app->setExceptionHandler(
        [p = program.get()](const std::string& m) { p->AppEventsException(m); });
    w().show();
    QCoreApplication::processEvents();
}

void WindowWorld::stop() {
    if (!program)
        return;
    w().close();
    QCoreApplication::processEvents();
    static_cast<app::VexoraApplication*>(QCoreApplication::instance())->setExceptionHandler({});
    program.reset();
}

std::string WindowWorld::logText() const {
    std::string all;
    const fs::path logDir = dir.path() / "ErrorLog";
    if (!fs::is_directory(logDir))
        return all;
    for (const auto& e : fs::directory_iterator(logDir))
        all += slurp(e.path());
    return all;
}

}  // namespace vexora::test
