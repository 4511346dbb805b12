#include "window/file_dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QRegularExpression>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <vector>

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
    QStringList filters;
    for (const QString& filter : request.filter.split(";;")) filters << toolkit_name_filter(filter);
    QFileDialog dialog(parent, request.title, request.initial_folder);
    dialog.setNameFilters(filters);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.default_suffix);
    if (filters.size() > 1) {
        // A name typed without an extension gets the one of the chosen filter.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            const int star = filter.indexOf("*.");
            if (star >= 0) dialog.setDefaultSuffix(filter.mid(star + 2).section(QRegularExpression("[^A-Za-z0-9]"), 0, 0));
        });
    }
    if (!request.initial_file.isEmpty()) dialog.selectFile(request.initial_file);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

std::optional<int> FileDialogs::ask(QWidget* parent, const QString& title, const QString& text, const QStringList& answers) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Cancel, parent);
    std::vector<QAbstractButton*> buttons;
    for (const QString& answer : answers) buttons.push_back(box.addButton(answer, QMessageBox::AcceptRole));
    if (!buttons.empty()) box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
    box.exec();
    const auto it = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    if (it == buttons.end()) return std::nullopt;
    return static_cast<int>(it - buttons.begin());
}

void ToolkitFileDialogs::report_failure(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, "Tavrolin", text);
}

}  // namespace tavrolin
