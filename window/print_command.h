// File > "Print..." and File > "Export PDF...": the listing of the last run (or, when the natal
// positions window is the active one, its report) on pages with a header and page numbers, shown
// in a print preview first or written as a PDF document.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "engine/engine.h"
#include "window/command_host.h"

class QPrinter;
class QWidget;

namespace tavrolin {

// Shows the pages `paint` draws on the printer in a preview, from which the user prints them.
// Tests replace it to print without a modal dialog.
using PrintPreview = std::function<void(QWidget* parent, QPrinter& printer, const std::function<void(QPrinter*)>& paint)>;
void show_print_preview(QWidget* parent, QPrinter& printer, const std::function<void(QPrinter*)>& paint);

class PrintCommand {
public:
    PrintCommand(CommandHost& host, const Engine& engine) : host_(host), engine_(engine) {}

    PrintPreview preview = show_print_preview;

    // What would be printed now: the header of its pages and its text; nothing when there is none.
    struct Document {
        QStringList header;
        QString text;
        QString title;  // the PDF's title and the print job's name
    };
    std::optional<Document> document() const;

    // "Print...": the preview of the document's pages; in the timeline window, its picture.
    void mnuFilePrint_Click();
    // "Export PDF...": the same pages into a PDF file chosen by the user.
    void mnuFileExportPdf_Click();

private:
    CommandHost& host_;
    const Engine& engine_;
    QString pdf_path_;
};

}  // namespace tavrolin
