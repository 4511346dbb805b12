// The timeline as a picture: one lane per body pair and aspect, its stretches within one degree
// as bars and its exact moments as diamonds, between two date axes. The timeline window and
// tavrolin-batch's pictures both draw through this, so it uses Qt Gui (and Qt SVG for the vector
// pictures) but no widgets.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <optional>
#include <string>

#include "output/timeline.h"

class QPainter;
class QPalette;

namespace tavrolin {

struct TimelineColours {
    QColor background;
    QColor text;
    QColor axis;   // the axes' and the legend's bands
    QColor grid;   // tick lines across the lanes
    QColor shade;  // every other lane
    QColor now;
    std::array<QColor, aspect_family_count> marks{};      // exact moments, by AspectFamily
    std::array<QColor, aspect_family_count> stretches{};  // within one degree
    // The sky's event lanes.
    QColor retrograde;  // a body's retrograde spans
    QColor shadow;      // and its shadows, lighter
    QColor event;       // ingresses and lunations
    QColor eclipse;
    QColor void_moon;
};

// Colours readable on the palette's base colour: the families' colours are darker on a light
// background and lighter on a dark one.
TimelineColours timeline_colours(const QPalette& palette);

// Which part of the timeline a picture shows.
struct TimelineView {
    double from_jd = 0.0;  // the time span across the lanes
    double to_jd = 0.0;
    int lane_offset = 0;   // pixels of lanes scrolled past at the top
    QSize size;            // of the whole picture
    std::optional<double> now_jd;  // the present moment's line, where it falls in the span
    QString note;          // at the right of the legend
};

// What an empty timeline says instead of lanes.
QString timeline_empty_text(const Timeline& timeline);

// Layout, hit testing and drawing. Only what is in view is drawn: the lanes in the view's rows,
// and of each lane the marks and stretches in its time span, found by binary search (both are
// sorted). Marks and stretches closer together than a pixel or two are drawn as one bar.
class TimelinePainter {
public:
    TimelinePainter(const Timeline& timeline, const QFont& font);

    const Timeline& timeline() const { return timeline_; }
    int lane_height() const { return lane_height_; }
    int legend_height() const { return legend_height_; }
    int axis_height() const { return axis_height_; }
    int lanes_height() const { return lane_height_ * static_cast<int>(timeline_.lanes.size()); }
    int label_width(const TimelineView& view) const;
    // Half the width of an exact moment's diamond.
    int mark_radius() const { return mark_radius_; }

    // The lanes' part of the picture: right of the labels, between the two axes.
    QRect lanes_area(const TimelineView& view) const;
    double x_of(double jd, const TimelineView& view) const;
    double jd_at(double x, const TimelineView& view) const;
    // The lane drawn at height y, or -1.
    int lane_at(int y, const TimelineView& view) const;
    // The exact moment drawn nearest to pos, within its diamond's reach; null for none.
    const TimelineMark* mark_at(QPoint pos, const TimelineView& view) const;
    // What the sky event lane says at pos: the event mark nearest to it within its symbol's
    // reach, else the span under it; null for none.
    const std::string* event_text_at(QPoint pos, const TimelineView& view) const;

    void paint(QPainter& painter, const TimelineView& view, const TimelineColours& colours) const;

    // The whole range and every lane, `width` pixels wide; at most max_height tall, the lanes
    // that do not fit left out (the view's note says how many are shown).
    TimelineView whole_view(int width, int max_height) const;

private:
    void paint_legend(QPainter& painter, const TimelineView& view, const TimelineColours& colours) const;
    void paint_lane(QPainter& painter, const TimelineLane& lane, int top, const TimelineView& view,
                    const TimelineColours& colours) const;
    void paint_event_lane(QPainter& painter, const TimelineLane& lane, int top, const TimelineView& view,
                          const TimelineColours& colours) const;
    void paint_axis(QPainter& painter, const TimelineView& view, const TimelineColours& colours, bool top) const;
    // Above the labels: the number of lanes (line 0) and of exact moments (line 1).
    QString corner_text(int line) const;
    // A family's diamond, drawn once and copied to each moment on raster devices (many times
    // faster than drawing each one smoothed).
    const QImage& diamond(std::size_t family, const TimelineColours& colours, qreal ratio) const;

    const Timeline& timeline_;
    QFont font_;
    QFontMetrics metrics_;
    int lane_height_ = 20;
    int legend_height_ = 20;
    int axis_height_ = 36;
    int mark_radius_ = 5;
    int longest_label_ = 0;
    mutable std::array<QImage, aspect_family_count> diamonds_;
};

// Pictures written to files and the clipboard.
enum class PictureFormat { png, svg };
// By the name's extension, in any capitals: ".png" or ".svg"; nothing for any other.
std::optional<PictureFormat> picture_format_for(const QString& path);

inline constexpr int min_picture_width = 200;
inline constexpr int max_picture_width = 20000;
inline constexpr int default_picture_width = 1600;
// A PNG picture is at most this tall and this many pixels in all (a quarter of a gigabyte while it
// is drawn); the lanes beyond are left out. An SVG picture holds every lane.
inline constexpr int max_png_height = 16384;
inline constexpr long long max_png_pixels = 64'000'000;
int max_picture_height(PictureFormat format, int width);

// The view drawn into a PNG or SVG file's bytes.
QByteArray render_picture(const TimelinePainter& painter, const TimelineView& view, const TimelineColours& colours,
                          PictureFormat format);
// Writes the bytes through a temporary file renamed into place, so that a failure leaves nothing;
// false with the reason (naming the file) in *error.
bool write_picture_file(const std::string& path, const QByteArray& bytes, std::string* error);

}  // namespace tavrolin
