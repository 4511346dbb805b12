#include "window/print_command.h"

#include <QApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "picture/print_pages.h"
#include "window/file_dialogs.h"
#include "window/frm_natal_pos.h"
#include "window/frm_timeline.h"

namespace tavrolin {

void show_print_preview(QWidget* parent, QPrinter& printer, const std::function<void(QPrinter*)>& paint) {
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName("dlgPrintPreview");
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* p) { paint(p); });
    dialog.exec();
}

std::optional<PrintCommand::Document> PrintCommand::document() const {
    // The natal positions window prints its report when it is the window the user works in.
    if (auto* report = qobject_cast<frmNatalPos*>(QApplication::activeWindow())) {
        const QString text = report->RichText1->toPlainText();
        if (text.isEmpty()) return std::nullopt;
        return Document{report_header(report->windowTitle(), host_.control_values()), text, report->windowTitle()};
    }
    const QString text = host_.results_text(engine_.last_run.calc_kind);
    if (text.isEmpty()) return std::nullopt;
    return Document{listing_header(engine_.last_run), text, "Tavrolin listing"};
}

void PrintCommand::mnuFilePrint_Click() {
    if (auto* timeline = qobject_cast<frmTimeline*>(QApplication::activeWindow())) {
        timeline->print_image();
        return;
    }
    const auto doc = document();
    if (!doc) {
        host_.show_status("Nothing to print: run a calculation first.");
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(doc->title);
    preview(host_.parent_widget(), printer, [&](QPrinter* p) { paint_text_pages(*p, doc->header, doc->text); });
}

void PrintCommand::mnuFileExportPdf_Click() {
    const auto doc = document();
    if (!doc) {
        host_.show_status("Nothing to export: run a calculation first.");
        return;
    }
    FileDialogRequest request;
    request.save = true;
    request.title = "Export PDF";
    request.filter = "PDF document (*.pdf)";
    request.default_suffix = "pdf";
    request.initial_folder = pdf_path_.isEmpty() ? from_native_path(host_.places().dialog_folder) : QFileInfo(pdf_path_).absolutePath();
    request.initial_file = pdf_path_;
    const auto chosen = host_.file_dialogs().choose_file(host_.parent_widget(), request);
    if (!chosen) return;
    pdf_path_ = *chosen;
    std::string error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool written = write_pdf_file(native_path(pdf_path_), text_pdf(doc->header, doc->text, doc->title), &error);
    QApplication::restoreOverrideCursor();
    if (!written) {
        host_.show_status("Not exported: " + QString::fromLocal8Bit(error.c_str()));
        return;
    }
    host_.show_status("Exported the PDF to " + pdf_path_);
}

}  // namespace tavrolin
