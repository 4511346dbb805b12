// The window program: the main window is the program; closing it ends the program.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "files/atomic_file.h"
#include "files/file_places.h"
#include "window/frm_tavrolin.h"

namespace {

constexpr const char* usage_text =
    "Usage: tavrolin [--version] [--help] [Qt options such as -platform NAME]\n"
    "Opens the Tavrolin window: exact aspects of transits, progressions and solar arcs.\n"
    "The command-line program tavrolin-batch runs the same calculations from a settings file.\n";

}  // namespace

int main(int argc, char* argv[]) {
    // A save ended by Ctrl+C, kill or a closed terminal leaves no temporary file.
    tavrolin::install_temp_file_cleanup();
    // Answered before the toolkit starts, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) return std::printf("tavrolin %s\n", TAVROLIN_VERSION) > 0 ? 0 : 1;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return std::fputs(usage_text, stdout) >= 0 ? 0 : 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(TAVROLIN_VERSION);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(TAVROLIN_APP_ID);
    tavrolin::WindowSetup setup;
    setup.places = tavrolin::find_file_places(tavrolin::executable_folder(argv[0]));
    frmTavrolin window(setup);  // loads and shows itself
    return app.exec();
}
