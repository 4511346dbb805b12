#include "picture/print_pages.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

#include "files/atomic_file.h"

namespace tavrolin {

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

QString program_text() { return QStringLiteral("Tavrolin " TAVROLIN_VERSION); }

QString natal_text(const ControlValues& cv) { return "Natal data: " + q(cv.natal_date) + " " + q(cv.natal_time) + " GMT"; }

constexpr double header_points = 9.0;
constexpr double body_points = 9.0;
constexpr double smallest_body_points = 6.0;

QFont header_font() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(header_points);
    return font;
}

QFont body_font(double points) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(points);
    return font;
}

// The header's lines at the top of the page with a rule under them and the page number at the
// bottom; returns the rectangle left for the page's body. Sizes follow the device's resolution.
QRectF page_body(QPaintDevice& device, const QStringList& header) {
    const QFontMetricsF metrics(header_font(), &device);
    const double line = metrics.lineSpacing();
    const double top = line * (header.size() + 0.6);
    const double bottom = line * 1.6;
    return QRectF(0, top, device.width(), std::max(line, device.height() - top - bottom));
}

void paint_frame(QPainter& p, const QStringList& header, int page, int pages) {
    QPaintDevice& device = *p.device();
    const QFont font = header_font();
    const QFontMetricsF metrics(font, &device);
    const double line = metrics.lineSpacing();
    p.save();
    p.setFont(font);
    p.setPen(Qt::black);
    for (int i = 0; i < header.size(); ++i) p.drawText(QPointF(0, line * i + metrics.ascent()), header[i]);
    const double rule = line * (header.size() + 0.2);
    p.drawLine(QPointF(0, rule), QPointF(device.width(), rule));
    const QString number = page_number_text(page, pages);
    p.drawText(QPointF((device.width() - metrics.horizontalAdvance(number)) / 2.0, device.height() - metrics.descent()), number);
    p.restore();
}

QStringList text_lines(const QString& text) {
    QStringList lines = text.split(QRegularExpression("\r\n|\n|\r"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QString& l : lines) l.replace('\t', "        ");
    return lines;
}

QByteArray pdf_of(const QString& title, const std::function<void(QPdfWriter&)>& paint) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(title);
        writer.setCreator(program_text());
        paint(writer);
    }
    return bytes;
}

}  // namespace

QStringList listing_header(const RunInputs& run) {
    const ControlValues& cv = run.cv;
    QString mode;
    if (run.calc_kind == 0)
        mode = "Transit to the zodiac degree " + q(cv.zodiac_degree);
    else if (cv.mode >= 0 && cv.mode < static_cast<int>(mode_captions.size()))
        mode = QString::fromUtf8(mode_captions[static_cast<std::size_t>(cv.mode)].data(),
                                 static_cast<qsizetype>(mode_captions[static_cast<std::size_t>(cv.mode)].size()));
    else
        mode = "No mode selected";
    return {program_text() + ": " + mode, natal_text(cv) + "    Time zone: " + q(cv.tz),
            "From " + q(cv.start_date) + " to " + q(cv.end_date)};
}

QStringList report_header(const QString& report_name, const ControlValues& cv) {
    return {program_text() + ": " + report_name, natal_text(cv) + "    Time zone: " + q(cv.tz)};
}

QString page_number_text(int page, int pages) { return QString("Page %1 of %2").arg(page).arg(pages); }

int paint_text_pages(QPagedPaintDevice& device, const QStringList& header, const QString& text) {
    const QRectF body = page_body(device, header);
    const QStringList source = text_lines(text);

    // Small enough for the widest line, down to a size that still reads well.
    double points = body_points;
    {
        const QFontMetricsF metrics(body_font(points), &device);
        double widest = 0.0;
        for (const QString& l : source) widest = std::max(widest, metrics.horizontalAdvance(l));
        if (widest > body.width()) points = std::max(smallest_body_points, points * body.width() / widest * 0.99);
    }
    const QFont font = body_font(points);
    const QFontMetricsF metrics(font, &device);

    // Lines still too wide go on in the next line.
    QStringList lines;
    for (const QString& l : source) {
        if (metrics.horizontalAdvance(l) <= body.width()) {
            lines << l;
            continue;
        }
        int start = 0;
        while (start < l.size()) {
            int count = 1;
            while (start + count < l.size() && metrics.horizontalAdvance(l.mid(start, count + 1)) <= body.width()) ++count;
            lines << l.mid(start, count);
            start += count;
        }
    }
    const int per_page = std::max(1, static_cast<int>(body.height() / metrics.lineSpacing()));
    const int pages = std::max(1, (static_cast<int>(lines.size()) + per_page - 1) / per_page);

    QPainter p(&device);
    for (int page = 0; page < pages; ++page) {
        if (page > 0) device.newPage();
        paint_frame(p, header, page + 1, pages);
        p.setFont(font);
        p.setPen(Qt::black);
        const int first = page * per_page;
        const int last = std::min(static_cast<int>(lines.size()), first + per_page);
        for (int i = first; i < last; ++i)
            p.drawText(QPointF(body.left(), body.top() + (i - first) * metrics.lineSpacing() + metrics.ascent()), lines[i]);
    }
    return pages;
}

int paint_timeline_pages(QPagedPaintDevice& device, const QStringList& header, const TimelinePainter& painter,
                         const TimelineView& view, const TimelineColours& colours) {
    const QRectF body = page_body(device, header);
    const double width = std::max(1, view.size.width());
    // View pixels to device pixels: as wide as the page.
    double scale = body.width() / width;
    const int lanes_end = std::min(painter.lanes_height(), view.lane_offset + painter.lanes_area(view).height());

    // The lanes of one page, whole lanes only.
    TimelineView page_view = view;
    page_view.size.setHeight(std::max(view.size.height(), 1));
    int per_page = painter.lanes_area(page_view).height();
    if (view.size.height() * scale > body.height()) {
        page_view.size.setHeight(static_cast<int>(body.height() / scale));
        const int area = painter.lanes_area(page_view).height();
        per_page = area / painter.lane_height() * painter.lane_height();
        // The lower axis right under the page's last whole lane: a lane cut there would be drawn
        // again at the top of the next page.
        page_view.size.setHeight(page_view.size.height() - (area - per_page));
        if (per_page <= 0) {
            // Not even one lane fits at the page's width: the view shrinks to fit the page.
            page_view = view;
            scale = body.height() / view.size.height();
            per_page = painter.lanes_area(view).height();
        }
    }
    const int lanes = std::max(0, lanes_end - view.lane_offset);
    const int pages = per_page > 0 ? std::max(1, (lanes + per_page - 1) / per_page) : 1;

    QPainter p(&device);
    for (int page = 0; page < pages; ++page) {
        if (page > 0) device.newPage();
        paint_frame(p, header, page + 1, pages);
        TimelineView v = page_view;
        v.lane_offset = view.lane_offset + page * per_page;
        // The last page ends with the last lane.
        if (page == pages - 1 && pages > 1) {
            const int rest = lanes - page * per_page;
            v.size.setHeight(v.size.height() - (per_page - rest));
        }
        p.save();
        p.translate(body.topLeft());
        p.scale(scale, scale);
        p.setClipRect(QRect(QPoint(0, 0), v.size));
        painter.paint(p, v, colours);
        p.restore();
    }
    return pages;
}

QByteArray text_pdf(const QStringList& header, const QString& text, const QString& title) {
    return pdf_of(title, [&](QPdfWriter& writer) { paint_text_pages(writer, header, text); });
}

QByteArray timeline_pdf(const QStringList& header, const TimelinePainter& painter, const TimelineView& view,
                        const TimelineColours& colours, const QString& title) {
    return pdf_of(title, [&](QPdfWriter& writer) { paint_timeline_pages(writer, header, painter, view, colours); });
}

bool write_pdf_file(const std::string& path, const QByteArray& pdf, std::string* error) {
    AtomicFile file(path);
    if (!file.open(error)) return false;
    if (pdf.isEmpty()) {
        if (error) *error = "Could not write " + path + ": the PDF could not be made";
        return false;
    }
    file.write(std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
    return file.commit(error);
}

}  // namespace tavrolin
