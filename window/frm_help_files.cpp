#include "window/frm_help_files.h"
#include "window/wrapping_button.h"

#include <QCloseEvent>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextDocument>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "window/file_dialogs.h"
#include "files/atomic_file.h"
#include "files/file_names.h"
#include "files/text_file.h"

namespace {

// Larger than any help text; the bound keeps a wrong choice (a disk image, a video) out of the box.
constexpr std::size_t max_text_file_size = 16u << 20;

const QString caption_prefix = "Tavrolin Help File - ";


using tavrolin::from_native_path;
using tavrolin::native_path;

}  // namespace

frmHelpFiles::frmHelpFiles(const tavrolin::FilePlaces& places, tavrolin::FileDialogs& dialogs, QWidget* main_window)
    : QWidget(main_window, Qt::Window), places_(places), dialogs_(dialogs), main_window_(main_window) {
    setObjectName("frmHelpFiles");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Help");
    if (const QScreen* s = screen()) {
        dpi_x_ = s->logicalDotsPerInchX();
        dpi_y_ = s->logicalDotsPerInchY();
    }

    QFont button_font("MS Sans Serif");
    button_font.setPointSizeF(9.75);
    button_font.setBold(true);
    cmdLoadFile = new WrappingButton("Edit/Load help file", this);
    cmdLoadFile->setObjectName("cmdLoadFile");
    cmdLoadFile->setFont(button_font);
    place(cmdLoadFile, 60, 75, 1300, 1200);
    cmdSaveAsFile = new WrappingButton("Save help file", this);
    cmdSaveAsFile->setObjectName("cmdSaveAsFile");
    cmdSaveAsFile->setFont(button_font);
    place(cmdSaveAsFile, 60, 1455, 1300, 1200);
    RichText1 = new QPlainTextEdit(this);
    RichText1->setObjectName("RichText1");
    RichText1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    place(RichText1, box_left, box_top, 11000, 6000);
    box_twips_ = QSize(11000, 6000);
    connect(cmdLoadFile, &QPushButton::clicked, this, &frmHelpFiles::cmdLoadFile_Click);
    connect(cmdSaveAsFile, &QPushButton::clicked, this, &frmHelpFiles::cmdSaveAsFile_Click);
    resize(to_px_x(design_width), to_px_y(design_height));
    Form_Load();
}

int frmHelpFiles::to_px_x(int twips) const { return static_cast<int>(std::lround(twips * dpi_x_ / 1440.0)); }
int frmHelpFiles::to_px_y(int twips) const { return static_cast<int>(std::lround(twips * dpi_y_ / 1440.0)); }

void frmHelpFiles::place(QWidget* control, int left, int top, int width, int height) {
    control->setGeometry(to_px_x(left), to_px_y(top), to_px_x(width), to_px_y(height));
}

QSize frmHelpFiles::box_size_for(QSize window_twips) {
    return QSize(std::max(0, window_twips.width() - width_margin), std::max(0, window_twips.height() - height_margin));
}

void frmHelpFiles::Form_Load() {
    QFont box_font("Courier New");
    box_font.setPointSize(9);
    // Where Courier New is not installed, another fixed-pitch face keeps the columns of the text.
    box_font.setStyleHint(QFont::TypeWriter);
    RichText1->setFont(box_font);
    QFont own = font();
    own.setPointSize(box_font.pointSize());
    setFont(own);
    box_twips_.setHeight(6000);
    place(RichText1, box_left, box_top, box_twips_.width(), box_twips_.height());

    if (help_file_path.isEmpty()) {
        // The user's own copy comes first; while there is none, the shipped text.
        const bool own = tavrolin::FileExists(places_.user_help_file) || !tavrolin::FileExists(places_.shipped_help_file);
        help_file_path = from_native_path(own ? places_.user_help_file : places_.shipped_help_file);
    }
    QString error;
    // The window stays usable without its text: the box says what could not be read.
    if (!load_into_box(help_file_path, &error)) RichText1->setPlainText("The help text could not be read.\n" + error);
    RichText1->document()->setModified(false);
    setWindowTitle(caption_prefix + help_file_path);
}

bool frmHelpFiles::load_into_box(const QString& path, QString* error) {
    std::string why;
    const auto bytes = tavrolin::read_whole_file(native_path(path), max_text_file_size, "a help file", &why);
    if (!bytes) {
        *error = QString::fromLocal8Bit(why.c_str());
        return false;
    }
    const QByteArray data = QByteArray::fromStdString(*bytes);
    loaded_as_latin1_ = !tavrolin::is_valid_utf8(*bytes);
    QString text = loaded_as_latin1_ ? QString::fromLatin1(data) : QString::fromUtf8(data);
    text.replace("\r\n", "\n");
    RichText1->setPlainText(text);
    RichText1->document()->setModified(false);
    return true;
}

bool frmHelpFiles::GetHELPFileFilename(int load_save) {
    tavrolin::FileDialogRequest request;
    request.save = load_save != 0;
    request.title = request.save ? "Save help file" : "Load help file";
    request.filter = "Help Files (*.txt) | *.txt";
    request.default_suffix = "txt";
    request.initial_folder = from_native_path(places_.dialog_folder);
    request.initial_file = help_file_path;
    // An installed program's shipped text belongs to root: saving offers the user's own copy,
    // whose folder is made ready for it.
    if (request.save && places_.layout == tavrolin::Layout::installed &&
        help_file_path == from_native_path(places_.shipped_help_file)) {
        request.initial_file = from_native_path(places_.user_help_file);
        std::string error;
        const std::string folder = std::filesystem::path(places_.user_help_file).parent_path().string();
        if (!tavrolin::prepare_folder(places_, folder, &error)) dialogs_.report_failure(this, QString::fromLocal8Bit(error.c_str()));
    }
    const auto chosen = dialogs_.choose_file(this, request);
    if (!chosen) return true;
    help_file_path = *chosen;
    return false;
}

void frmHelpFiles::cmdLoadFile_Click() {
    if (GetHELPFileFilename(0)) return;
    QString error;
    // A file that cannot be read must not cost the text in the box, which may hold unsaved edits.
    if (!load_into_box(help_file_path, &error)) {
        dialogs_.report_failure(this, error);
        return;
    }
    setWindowTitle(caption_prefix + "help.txt");
}

void frmHelpFiles::cmdSaveAsFile_Click() { save_box(); }

bool frmHelpFiles::save_box() {
    if (GetHELPFileFilename(1)) return false;
    // The raw text keeps characters such as no-break spaces that the plain-text view would change;
    // its paragraph separators are the line ends.
    QString text = RichText1->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, '\n');
    text.replace(QChar::LineSeparator, '\n');
    bool latin1 = loaded_as_latin1_;
    for (QChar c : text) {
        if (c.unicode() > 0xFF) latin1 = false;
    }
    const QByteArray bytes = latin1 ? text.toLatin1() : text.toUtf8();
    std::string error;
    if (!tavrolin::write_file_atomically(native_path(help_file_path),
                                         tavrolin::with_crlf_line_ends(bytes.toStdString()), &error)) {
        dialogs_.report_failure(this, QString::fromLocal8Bit(error.c_str()));
        return false;
    }
    RichText1->document()->setModified(false);
    setWindowTitle(caption_prefix + help_file_path);
    return true;
}

void frmHelpFiles::Form_Resize() {
    if (windowState() & Qt::WindowMinimized) return;
    const QSize outer = frameGeometry().size();
    const QSize outer_twips(static_cast<int>(std::lround(outer.width() * 1440.0 / dpi_x_)),
                            static_cast<int>(std::lround(outer.height() * 1440.0 / dpi_y_)));
    box_twips_ = box_size_for(outer_twips);
    place(RichText1, box_left, box_top, box_twips_.width(), box_twips_.height());
}

void frmHelpFiles::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmHelpFiles::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Losing the focus applies the size rule once more.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) Form_Resize();
}

void frmHelpFiles::closeEvent(QCloseEvent* event) {
    // Edits are asked about as in any editor: saved (through the save dialog), thrown away, or
    // the window stays open. A save that is cancelled or fails keeps it open too.
    if (RichText1->document()->isModified()) {
        const std::optional<int> choice = dialogs_.ask(this, unsaved_title, unsaved_question, {save_answer, discard_answer});
        if (!choice || (*choice == 0 && !save_box())) {
            event->ignore();
            return;
        }
    }
    QWidget::closeEvent(event);
    Form_Unload();
}

void frmHelpFiles::Form_Unload() {
    if (main_window_ == nullptr) return;
    main_window_->raise();
    main_window_->activateWindow();
}
