// The main window's start-up: its construction with the whole load sequence (controls, menus, the
// settings of a fresh folder, the window shown), and Qt's events handled after it, so that what a
// change adds to the moment the user sees the window can be compared between two builds. The atlas
// is not read at start-up, and this shows whether anything is.
//
// Usage: window_start_bench [N]   (default 30 windows; offscreen unless QT_QPA_PLATFORM says otherwise)
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "files/file_places.h"
#include "window/frm_tavrolin.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        QTemporaryDir dir;  // a first start: no INI, no settings file
        tavrolin::WindowSetup setup;
        setup.places = tavrolin::portable_places(QFile::encodeName(dir.path()).toStdString());
        QElapsedTimer clock;
        clock.start();
        {
            frmTavrolin w(setup);
            QApplication::processEvents();
            ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        QApplication::processEvents();
    }
    const double first = ms.front();
    std::sort(ms.begin(), ms.end());
    std::printf("window start-up, %d windows: first %.1f ms, median %.1f ms, fastest %.1f ms, slowest %.1f ms\n", n,
                first, ms[ms.size() / 2], ms.front(), ms.back());
    return 0;
}
