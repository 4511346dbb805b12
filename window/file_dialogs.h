// The file dialog and the failure message of the file commands, behind an interface so that
// tests can answer them without a modal dialog.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <string>

class QWidget;

namespace tavrolin {

struct FileDialogRequest {
    bool save = false;       // a save dialog (asks before overwriting) or an open dialog
    QString title;
    QString filter;          // "description | pattern", e.g. "Settings Files (*.opt) | *.opt"; several
                             // filters are separated by ";;" (the first is selected)
    QString default_suffix;  // added to a typed name without one, e.g. "opt"
    QString initial_folder;
    QString initial_file;    // the proposed name: a full path, or empty
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The full path of the file the user chose; nothing when the dialog was cancelled.
    virtual std::optional<QString> choose_file(QWidget* parent, const FileDialogRequest& request) = 0;
    // Tells the user that a file could not be read or written; `text` names the file and why.
    virtual void report_failure(QWidget* parent, const QString& text) = 0;
    // A question with a few answers (the first is the default): the index of the answer chosen,
    // nothing when the question was cancelled. A message box unless replaced.
    virtual std::optional<int> ask(QWidget* parent, const QString& title, const QString& text, const QStringList& answers);
};

// The toolkit's file dialog and a warning message box.
class ToolkitFileDialogs : public FileDialogs {
public:
    std::optional<QString> choose_file(QWidget* parent, const FileDialogRequest& request) override;
    void report_failure(QWidget* parent, const QString& text) override;
};

// A path as the file system takes it (the bytes of the user's file name encoding), and back.
std::string native_path(const QString& path);
QString from_native_path(const std::string& path);

// "Settings Files (*.opt) | *.opt" as the toolkit's name filter "Settings Files (*.opt)".
QString toolkit_name_filter(const QString& filter);

}  // namespace tavrolin
