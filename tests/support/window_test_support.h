// Small helpers shared by the window tests.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QSize>
#include <QString>

#include <memory>

#include "window/frm_tavrolin.h"

inline QByteArray read_file(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline bool write_file(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// A main window whose program folder is `folder`, on a 12000-twip screen, month-first dates.
inline std::unique_ptr<frmTavrolin> make_window(const QString& folder) {
    tavrolin::WindowSetup setup;
    setup.program_folder = folder;
    setup.screen_size_twips = QSize(12000, 12000);
    setup.date_order = 0;
    return std::make_unique<frmTavrolin>(setup);
}
