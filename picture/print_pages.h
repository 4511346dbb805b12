// Printed pages of the program's texts and of the timeline, for a printer, the print preview and
// PDF files. Each page carries a header (the program, the natal data, the mode, the range, the
// time zone) and its number. Qt Gui only, so that tavrolin-batch writes the same PDF without a
// display.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

#include "engine/engine.h"
#include "picture/timeline_painter.h"

class QPagedPaintDevice;

namespace tavrolin {

// The header of a listing's pages, from the inputs of the run that made it.
QStringList listing_header(const RunInputs& run);
// The header of a natal report's pages: the program, the report's name and the natal data.
QStringList report_header(const QString& report_name, const ControlValues& cv);

// "Page 3 of 7".
QString page_number_text(int page, int pages);

// Lays `text` (any line ends) out in a fixed-pitch face, small enough for the widest line to fit
// where it can (lines still too wide are wrapped), onto as many pages of `device` as it needs.
// Returns the number of pages.
int paint_text_pages(QPagedPaintDevice& device, const QStringList& header, const QString& text);

// The timeline's `view`, as wide as the page: its lanes are split over as many pages as they
// need, each page with the legend and both axes. Returns the number of pages.
int paint_timeline_pages(QPagedPaintDevice& device, const QStringList& header, const TimelinePainter& painter,
                         const TimelineView& view, const TimelineColours& colours);

// A PDF document of `text`'s pages (A4), empty when it could not be made.
QByteArray text_pdf(const QStringList& header, const QString& text, const QString& title);
QByteArray timeline_pdf(const QStringList& header, const TimelinePainter& painter, const TimelineView& view,
                        const TimelineColours& colours, const QString& title);

// Writes a PDF through a temporary file renamed into place (as the pictures are written); false
// with the reason, naming the file, in *error.
bool write_pdf_file(const std::string& path, const QByteArray& pdf, std::string* error);

}  // namespace tavrolin
