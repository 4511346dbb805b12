#include "window/file_dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace tavrolin {

std::string native_path(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString from_native_path(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

QString toolkit_name_filter(const QString& filter) {
    const int bar = filter.indexOf('|');
    if (bar < 0) return filter.trimmed();
    const QString description = filter.left(bar).trimmed();
    const QString pattern = filter.mid(bar + 1).trimmed();
    // The toolkit takes the patterns from the parentheses of the description.
    if (description.contains('(' + pattern + ')')) return description;
    return description + " (" + pattern + ')';
}

std::optional<QString> ToolkitFileDialogs::choose_file(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent, request.title, request.initial_folder, toolkit_name_filter(request.filter));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.default_suffix);
    if (!request.initial_file.isEmpty()) dialog.selectFile(request.initial_file);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

void ToolkitFileDialogs::report_failure(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, "Tavrolin", text);
}

}  // namespace tavrolin
