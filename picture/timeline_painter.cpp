#include "picture/timeline_painter.h"

#include <QBuffer>
#include <QFontInfo>
#include <QImage>
#include <QLocale>
#include <QPaintEngine>
#include <QPainter>
#include <QPalette>
#include <QPolygonF>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

#include "engine/calendar.h"
#include "engine/date_text.h"
#include "files/atomic_file.h"

namespace tavrolin {

namespace {

// English names, like every other text of the program; the axis does not follow the locale.
constexpr std::array<const char*, 12> month_short = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 12> month_long = {"January", "February", "March",     "April",   "May",      "June",
                                                    "July",    "August",   "September", "October", "November", "December"};

long long day_of(double jd) { return static_cast<long long>(std::floor(jd - unix_epoch_jd)); }
double jd_of(const CivilDate& date) { return static_cast<double>(days_from_civil(date)) + unix_epoch_jd; }

QColor mix(const QColor& a, const QColor& b, double t) {
    const auto m = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return QColor(m(a.red(), b.red()), m(a.green(), b.green()), m(a.blue(), b.blue()));
}

// The axis's ticks at one of these steps: the finest whose labels do not run into each other.
enum class Unit { hour, day, month, year };
struct Step {
    Unit unit;
    int count;
};
constexpr std::array<Step, 21> steps = {{{Unit::hour, 1},    {Unit::hour, 3},   {Unit::hour, 6},   {Unit::hour, 12},
                                         {Unit::day, 1},     {Unit::day, 2},    {Unit::day, 5},    {Unit::day, 10},
                                         {Unit::month, 1},   {Unit::month, 3},  {Unit::month, 6},  {Unit::year, 1},
                                         {Unit::year, 2},    {Unit::year, 5},   {Unit::year, 10},  {Unit::year, 20},
                                         {Unit::year, 50},   {Unit::year, 100}, {Unit::year, 200}, {Unit::year, 500},
                                         {Unit::year, 1000}}};

double step_days(Step s) {
    switch (s.unit) {
        case Unit::hour: return s.count / 24.0;
        case Unit::day: return s.count;
        case Unit::month: return s.count * 30.44;
        case Unit::year: break;
    }
    return s.count * 365.2425;
}

struct Tick {
    double jd;
    QString label;
};

struct Axis {
    std::vector<Tick> minor;  // labelled with the day, the month or the year
    std::vector<Tick> major;  // month and year, or year, where the minor labels do not say it
    std::optional<QString> opening;  // the major period the view starts in
};

Axis axis_ticks(double from, double to, double px_per_day, const QFontMetrics& metrics) {
    const int gap = 2 * metrics.horizontalAdvance('0');
    Step step = steps.back();
    for (const Step& s : steps) {
        const char* widest = s.unit == Unit::hour ? "00:00" : s.unit == Unit::day ? "28" : s.unit == Unit::month ? "May" : "2020";
        if (step_days(s) * px_per_day >= metrics.horizontalAdvance(widest) + gap) {
            step = s;
            break;
        }
    }
    Axis axis;
    const CivilDate first = civil_from_days(day_of(from));
    const CivilDate last = civil_from_days(day_of(to));
    const auto day_name = [](const CivilDate& c) { return QString("%1 %2 %3").arg(c.day).arg(month_long[c.month - 1]).arg(c.year); };
    if (step.unit == Unit::hour) {
        axis.opening = day_name(first);
        for (long long h = static_cast<long long>(std::floor((from - unix_epoch_jd) * 24)); h <= (to - unix_epoch_jd) * 24; ++h) {
            const long long d = h >= 0 ? h / 24 : (h - 23) / 24;
            const int hour = static_cast<int>(h - d * 24);
            const double jd = unix_epoch_jd + static_cast<double>(h) / 24.0;
            if (hour == 0) axis.major.push_back({jd, day_name(civil_from_days(d))});
            if (hour % step.count == 0) axis.minor.push_back({jd, QString("%1:00").arg(hour, 2, 10, QChar('0'))});
        }
    } else if (step.unit == Unit::day) {
        axis.opening = QString("%1 %2").arg(month_long[first.month - 1]).arg(first.year);
        for (long long d = day_of(from); d <= day_of(to); ++d) {
            const CivilDate c = civil_from_days(d);
            const double jd = static_cast<double>(d) + unix_epoch_jd;
            if (c.day == 1) axis.major.push_back({jd, QString("%1 %2").arg(month_long[c.month - 1]).arg(c.year)});
            // Days 1, 1 + step, ...; none so close to the month's end that it crowds the next 1st.
            if (c.day == 1 || ((c.day - 1) % step.count == 0 && c.day + step.count <= days_in_month(c.year, c.month) + 1))
                axis.minor.push_back({jd, QString::number(c.day)});
        }
    } else if (step.unit == Unit::month) {
        axis.opening = QString::number(first.year);
        for (CivilDate c{first.year, first.month, 1}; c.year < last.year || (c.year == last.year && c.month <= last.month);
             c = c.month == 12 ? CivilDate{c.year + 1, 1, 1} : CivilDate{c.year, c.month + 1, 1}) {
            if (c.month == 1) axis.major.push_back({jd_of(c), QString::number(c.year)});
            if ((c.month - 1) % step.count == 0) axis.minor.push_back({jd_of(c), month_short[c.month - 1]});
        }
    } else {
        int y = first.year - ((first.year % step.count) + step.count) % step.count;
        for (; y <= last.year; y += step.count) axis.minor.push_back({jd_of(CivilDate{y, 1, 1}), QString::number(y)});
    }
    return axis;
}

constexpr int text_pad = 4;

// "172,340": counts in the axis's corner and the notes.
QString count_text(long long n) { return QLocale(QLocale::English, QLocale::UnitedStates).toString(n); }

}  // namespace

TimelineColours timeline_colours(const QPalette& palette) {
    TimelineColours c;
    c.background = palette.color(QPalette::Active, QPalette::Base);
    c.text = palette.color(QPalette::Active, QPalette::Text);
    const bool dark = c.background.lightnessF() < 0.5;
    c.axis = mix(c.background, c.text, 0.07);
    c.grid = mix(c.background, c.text, 0.18);
    c.shade = mix(c.background, c.text, 0.035);
    // Hues: conjunction amber, hard red, soft blue, minor green, declination violet. Lightness by
    // the background, so that the colours stand out from it in light and dark themes alike.
    const std::array<int, aspect_family_count> hues = {40, 0, 212, 125, 280};
    const double lightness = dark ? 0.68 : 0.34;
    const double saturation = dark ? 0.75 : 0.8;
    for (std::size_t f = 0; f < hues.size(); ++f) {
        c.marks[f] = QColor(QColor::fromHslF(hues[f] / 360.0, saturation, lightness).rgb());
        c.stretches[f] = mix(c.background, c.marks[f], dark ? 0.45 : 0.35);
    }
    c.now = QColor(QColor::fromHslF(320 / 360.0, 0.9, dark ? 0.7 : 0.45).rgb());
    // Events in teal (retrograde spans, a paler shadow), eclipses in orange, the void Moon grey.
    c.retrograde = QColor(QColor::fromHslF(180 / 360.0, saturation, lightness).rgb());
    c.shadow = mix(c.background, c.retrograde, dark ? 0.4 : 0.3);
    c.event = c.text;
    c.eclipse = QColor(QColor::fromHslF(25 / 360.0, 0.95, dark ? 0.6 : 0.45).rgb());
    c.void_moon = mix(c.background, c.text, 0.3);
    return c;
}

QString timeline_empty_text(const Timeline& timeline) {
    if (!timeline.has_run) return "Nothing to show yet: run a calculation first.";
    return "Nothing to show: the last calculation found no aspects.";
}

TimelinePainter::TimelinePainter(const Timeline& timeline, const QFont& font)
    : timeline_(timeline), font_(font), metrics_(font) {
    // Sized in pixels, so that a picture looks alike on the screen, in a PNG and in an SVG file
    // (whose resolutions differ).
    font_.setPixelSize(std::max(8, QFontInfo(font).pixelSize()));
    metrics_ = QFontMetrics(font_);
    lane_height_ = metrics_.height() + 6;
    legend_height_ = metrics_.height() + 8;
    axis_height_ = 2 * metrics_.height() + 10;
    mark_radius_ = std::clamp(lane_height_ * 3 / 10, 3, 7);
    // At least the room of the counts in the corner above the labels.
    longest_label_ = std::max(metrics_.horizontalAdvance(corner_text(0)), metrics_.horizontalAdvance(corner_text(1)));
    for (const TimelineLane& lane : timeline_.lanes)
        longest_label_ = std::max(longest_label_, metrics_.horizontalAdvance(QString::fromStdString(lane.label)));
}

int TimelinePainter::label_width(const TimelineView& view) const {
    // Every mapping between time and x asks for this: measured once, in the constructor.
    const int wanted = longest_label_ + 2 * text_pad + 2;
    return std::min(wanted, std::max(80, view.size.width() / 3));
}

QRect TimelinePainter::lanes_area(const TimelineView& view) const {
    const int left = label_width(view);
    const int top = legend_height_ + axis_height_;
    return QRect(left, top, std::max(0, view.size.width() - left), std::max(0, view.size.height() - top - axis_height_));
}

double TimelinePainter::x_of(double jd, const TimelineView& view) const {
    // Inset by a diamond, so that moments at the ends of the range are drawn whole.
    const QRect area = lanes_area(view);
    const double left = area.left() + mark_radius_ + 2;
    const double width = std::max(1.0, area.width() - 2.0 * (mark_radius_ + 2));
    const double span = std::max(1e-9, view.to_jd - view.from_jd);
    return left + (jd - view.from_jd) / span * width;
}

double TimelinePainter::jd_at(double x, const TimelineView& view) const {
    const QRect area = lanes_area(view);
    const double left = area.left() + mark_radius_ + 2;
    const double width = std::max(1.0, area.width() - 2.0 * (mark_radius_ + 2));
    return view.from_jd + (x - left) / width * (view.to_jd - view.from_jd);
}

int TimelinePainter::lane_at(int y, const TimelineView& view) const {
    const QRect area = lanes_area(view);
    if (y < area.top() || y > area.bottom()) return -1;
    const int lane = (y - area.top() + view.lane_offset) / lane_height_;
    return lane < static_cast<int>(timeline_.lanes.size()) ? lane : -1;
}

const TimelineMark* TimelinePainter::mark_at(QPoint pos, const TimelineView& view) const {
    const int lane = lane_at(pos.y(), view);
    if (lane < 0 || pos.x() < lanes_area(view).left()) return nullptr;
    const std::vector<TimelineMark>& marks = timeline_.lanes[static_cast<std::size_t>(lane)].marks;
    // The nearest moment in time is the nearest on the screen: one of the two around the pointer.
    const double jd = jd_at(pos.x(), view);
    const auto it = std::lower_bound(marks.begin(), marks.end(), jd,
                                     [](const TimelineMark& m, double t) { return m.jd < t; });
    const TimelineMark* best = nullptr;
    double best_distance = mark_radius_ + 1.5;
    for (auto c : {it, it == marks.begin() ? marks.end() : it - 1}) {
        if (c == marks.end()) continue;
        const double distance = std::abs(x_of(c->jd, view) - pos.x());
        if (distance <= best_distance) {
            best = &*c;
            best_distance = distance;
        }
    }
    return best;
}

TimelineView TimelinePainter::whole_view(int width, int max_height) const {
    TimelineView view;
    view.from_jd = timeline_.from_jd;
    view.to_jd = timeline_.to_jd;
    const int lanes = static_cast<int>(timeline_.lanes.size());
    const int chrome = legend_height_ + 2 * axis_height_;
    // An empty timeline keeps a few lanes' room for what it says.
    const int fit = std::max(0, (max_height - chrome) / lane_height_);
    const int shown = std::min(lanes, fit);
    view.size = QSize(width, chrome + std::max(shown, lanes == 0 ? 3 : 1) * lane_height_);
    if (shown < lanes) {
        view.note = QString("The first %1 of %2 lanes (an SVG picture holds them all)").arg(count_text(shown), count_text(lanes));
    }
    return view;
}

void TimelinePainter::paint(QPainter& painter, const TimelineView& view, const TimelineColours& colours) const {
    painter.save();
    painter.setFont(font_);
    const QRect whole(QPoint(0, 0), view.size);
    painter.fillRect(whole, colours.background);
    paint_legend(painter, view, colours);
    const QRect area = lanes_area(view);
    if (!timeline_.has_run) {
        painter.setPen(colours.text);
        painter.drawText(whole.adjusted(0, legend_height_, 0, 0), Qt::AlignCenter, timeline_empty_text(timeline_));
        painter.restore();
        return;
    }

    const int lanes = static_cast<int>(timeline_.lanes.size());
    const int first = std::clamp(view.lane_offset / lane_height_, 0, lanes);
    const int last = std::clamp((view.lane_offset + area.height() + lane_height_ - 1) / lane_height_, first, lanes);
    const int label_w = area.left();
    painter.save();
    painter.setClipRect(QRect(0, area.top(), view.size.width(), area.height()));
    for (int i = first; i < last; ++i) {
        const int top = area.top() + i * lane_height_ - view.lane_offset;
        if (i % 2 == 1) painter.fillRect(QRect(0, top, view.size.width(), lane_height_), colours.shade);
    }
    // Grid lines under the lanes' contents, the month or year lines stronger.
    const double px_per_day = (x_of(view.to_jd, view) - x_of(view.from_jd, view)) / std::max(1e-9, view.to_jd - view.from_jd);
    const Axis axis = axis_ticks(view.from_jd, view.to_jd, px_per_day, metrics_);
    const QColor faint = mix(colours.background, colours.grid, 0.5);
    for (const auto& [ticks, colour] : {std::pair{&axis.minor, faint}, std::pair{&axis.major, colours.grid}}) {
        painter.setPen(QPen(colour, 0));
        for (const Tick& t : *ticks) {
            const double x = std::round(x_of(t.jd, view)) + 0.5;
            if (x >= label_w && x <= area.right()) painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom() + 1));
        }
    }
    // Few changes of the painter's state per lane: an SVG picture writes a group for each.
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (int i = first; i < last; ++i) {
        const TimelineLane& lane = timeline_.lanes[static_cast<std::size_t>(i)];
        const int top = area.top() + i * lane_height_ - view.lane_offset;
        const QString label = metrics_.elidedText(QString::fromStdString(lane.label), Qt::ElideRight, label_w - 2 * text_pad);
        painter.setPen(colours.text);
        painter.setBrush(Qt::NoBrush);
        painter.drawText(QRect(text_pad, top, label_w - 2 * text_pad, lane_height_), Qt::AlignLeft | Qt::AlignVCenter, label);
        if (lane.kind == LaneKind::aspect) paint_lane(painter, lane, top, view, colours);
        else paint_event_lane(painter, lane, top, view, colours);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (lanes == 0) {
        painter.setPen(colours.text);
        painter.drawText(area, Qt::AlignCenter, timeline_empty_text(timeline_));
    }
    painter.restore();

    // The axes after the lanes: they cover the lanes scrolled half out of view.
    paint_axis(painter, view, colours, true);
    paint_axis(painter, view, colours, false);
    // The present moment, across the lanes and both axes.
    if (view.now_jd && *view.now_jd >= view.from_jd && *view.now_jd <= view.to_jd) {
        const double x = x_of(*view.now_jd, view);
        painter.fillRect(QRectF(x - 1, legend_height_, 2, view.size.height() - legend_height_), colours.now);
    }
    painter.restore();
}

QString TimelinePainter::corner_text(int line) const {
    if (line == 0) {
        const auto lanes = static_cast<long long>(timeline_.lanes.size());
        return count_text(lanes) + (lanes == 1 ? " lane" : " lanes");
    }
    return count_text(timeline_.marks) + (timeline_.marks == 1 ? " exact moment" : " exact moments");
}

void TimelinePainter::paint_legend(QPainter& painter, const TimelineView& view, const TimelineColours& colours) const {
    const int swatch = metrics_.height() * 2 / 3;
    const int mid = legend_height_ / 2;
    int x = text_pad;
    const auto item = [&](const QColor& colour, int w, int h, const QString& caption) {
        painter.fillRect(QRect(x, mid - h / 2, w, h), colour);
        x += w + text_pad;
        painter.setPen(colours.text);
        const int advance = metrics_.horizontalAdvance(caption);
        painter.drawText(QRect(x, 0, advance + 1, legend_height_), Qt::AlignLeft | Qt::AlignVCenter, caption);
        x += advance + 3 * text_pad;
    };
    // Each family with both of its colours: the exact moment's square, then the bar of its
    // stretches within one degree, which are paler and differ from family to family.
    const int bar_height = swatch / 2 + 1;
    for (int f = 0; f < aspect_family_count; ++f) {
        const auto family = static_cast<std::size_t>(f);
        painter.fillRect(QRect(x, mid - swatch / 2, swatch, swatch), colours.marks[family]);
        x += swatch + 1;
        painter.fillRect(QRect(x, mid - bar_height / 2, swatch, bar_height), colours.stretches[family]);
        x += swatch;
        item(Qt::transparent, 0, 0, aspect_family_caption(static_cast<AspectFamily>(f)));
    }
    // The two kinds of marks in words; the diamond is a character, so that a picture's only
    // diamonds are exact moments.
    painter.setPen(colours.text);
    const QString kinds = QString::fromUtf8("\u25C6 exact; bars: within 1\u00B0, in the paler colour of each family");
    painter.drawText(QRect(x, 0, metrics_.horizontalAdvance(kinds) + 1, legend_height_), Qt::AlignLeft | Qt::AlignVCenter, kinds);
    x += metrics_.horizontalAdvance(kinds) + 3 * text_pad;
    // The event lanes' bars, where there are any.
    bool retrograde = false, voids = false;
    for (int i = 0; i < timeline_.event_lanes; ++i) {
        const TimelineLane& lane = timeline_.lanes[static_cast<std::size_t>(i)];
        retrograde = retrograde || (lane.kind == LaneKind::body_events && !(lane.spans.empty() && lane.shadows.empty()));
        voids = voids || lane.kind == LaneKind::void_moon;
    }
    if (retrograde) {
        item(colours.retrograde, swatch, bar_height + 2, "retrograde");
        item(colours.shadow, swatch, bar_height, "shadow");
    }
    if (voids) item(colours.void_moon, swatch, bar_height, "void Moon");
    item(colours.now, 2, swatch + 2, "now");
    if (!view.note.isEmpty()) {
        painter.setPen(colours.text);
        painter.drawText(QRect(x, 0, std::max(0, view.size.width() - x - text_pad), legend_height_),
                         Qt::AlignRight | Qt::AlignVCenter, view.note);
    }
}

const QImage& TimelinePainter::diamond(std::size_t family, const TimelineColours& colours, qreal ratio) const {
    QImage& image = diamonds_[family];
    const int c = mark_radius_ + 1;
    // Kept until the colours or the device's pixel ratio change.
    const QString key = colours.marks[family].name() + colours.background.name() + QString::number(ratio);
    if (!image.isNull() && image.text("key") == key) return image;
    const int side = static_cast<int>(std::ceil((2 * c + 1) * ratio));
    image = QImage(side, side, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    image.setText("key", key);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(colours.background, 1));
    p.setBrush(colours.marks[family]);
    // Centred on the middle of pixel (c, c), which is all fill.
    const double m = c + 0.5, r = mark_radius_;
    const QPointF points[4] = {{m, m - r}, {m + r, m}, {m, m + r}, {m - r, m}};
    p.drawPolygon(points, 4);
    return image;
}

void TimelinePainter::paint_lane(QPainter& painter, const TimelineLane& lane, int top, const TimelineView& view,
                                 const TimelineColours& colours) const {
    const QRect area = lanes_area(view);
    const int centre_px = top + lane_height_ / 2;
    const double centre = centre_px + 0.5;
    const double left = area.left() - 2.0, right = area.right() + 2.0;
    const auto family = static_cast<std::size_t>(lane.family);

    // Stretches within one degree: apart from each other, so sorted by their ends too. Those
    // that meet within a pixel and a half are drawn as one bar.
    const auto& stretches = lane.stretches;
    const double bar = std::max(3.0, lane_height_ / 3.0);
    auto s = std::lower_bound(stretches.begin(), stretches.end(), view.from_jd,
                              [](const TimelineStretch& a, double t) { return a.to_jd < t; });
    painter.setPen(Qt::NoPen);
    painter.setBrush(colours.stretches[family]);
    while (s != stretches.end() && s->from_jd <= view.to_jd) {
        const double x0 = std::max(left, x_of(s->from_jd, view));
        double x1 = std::min(right, x_of(s->to_jd, view));
        auto next = s + 1;
        for (;;) {
            const double reach = jd_at(x1 + 1.5, view);
            const auto k = std::upper_bound(next, stretches.end(), reach,
                                            [](double t, const TimelineStretch& a) { return t < a.from_jd; });
            if (k == next) break;
            x1 = std::max(x1, std::min(right, x_of((k - 1)->to_jd, view)));
            next = k;
        }
        painter.drawRect(QRectF(x0, centre - bar / 2, std::max(1.0, x1 - x0), bar));
        s = next;
    }

    // Exact moments: a diamond each, or one diamond drawn out into a bar for a run of moments
    // less than two pixels apart, so that a dense lane costs one step per pixel column whatever
    // its number of moments.
    const auto& marks = lane.marks;
    const double r = mark_radius_;
    const auto by_jd = [](const TimelineMark& m, double t) { return m.jd < t; };
    auto m = std::lower_bound(marks.begin(), marks.end(), jd_at(left - r, view), by_jd);
    const auto end = std::lower_bound(m, marks.end(), jd_at(right + r, view), by_jd);
    painter.setPen(QPen(colours.background, 1));
    painter.setBrush(colours.marks[family]);
    const bool raster = painter.paintEngine() != nullptr && painter.paintEngine()->type() == QPaintEngine::Raster;
    const QImage* sprite = raster ? &diamond(family, colours, painter.device()->devicePixelRatio()) : nullptr;
    const int c = mark_radius_ + 1;
    while (m != end) {
        const double x0 = x_of(m->jd, view);
        double x1 = x0;
        auto next = m + 1;
        for (;;) {
            const double reach = jd_at(x1 + 2.0, view);
            const auto k = std::upper_bound(next, end, reach, [](double t, const TimelineMark& a) { return t < a.jd; });
            if (k == next) break;
            x1 = x_of((k - 1)->jd, view);
            next = k;
        }
        if (sprite != nullptr) {
            // A run: the diamonds at its ends joined by a bar of their height.
            const int a = static_cast<int>(std::lround(x0)), b = static_cast<int>(std::lround(x1));
            if (b > a) painter.fillRect(QRect(a, centre_px - mark_radius_, b - a, 2 * mark_radius_ + 1), colours.marks[family]);
            painter.drawImage(a - c, centre_px - c, *sprite);
            if (b > a) painter.drawImage(b - c, centre_px - c, *sprite);
        } else if (next - m == 1) {
            const QPointF points[4] = {{x0, centre - r}, {x0 + r, centre}, {x0, centre + r}, {x0 - r, centre}};
            painter.drawPolygon(points, 4);
        } else {
            const QPointF points[6] = {{x0 - r, centre}, {x0, centre - r}, {x1, centre - r},
                                       {x1 + r, centre}, {x1, centre + r}, {x0, centre + r}};
            painter.drawPolygon(points, 6);
        }
        m = next;
    }
}

void TimelinePainter::paint_event_lane(QPainter& painter, const TimelineLane& lane, int top, const TimelineView& view,
                                       const TimelineColours& colours) const {
    const QRect area = lanes_area(view);
    const double centre = top + lane_height_ / 2 + 0.5;
    const double left = area.left() - 2.0, right = area.right() + 2.0;
    const double bar = std::max(3.0, lane_height_ / 3.0);
    // Spans in view, those that meet within a pixel drawn as one bar (a century of voids).
    const auto spans = [&](const auto& list, const QColor& colour, double height) {
        using Item = typename std::decay_t<decltype(list)>::value_type;
        auto s = std::lower_bound(list.begin(), list.end(), view.from_jd, [](const Item& a, double t) { return a.to_jd < t; });
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        std::optional<std::pair<double, double>> open;
        const auto flush = [&] {
            if (open) painter.drawRect(QRectF(open->first, centre - height / 2, std::max(1.0, open->second - open->first), height));
        };
        for (; s != list.end() && s->from_jd <= view.to_jd; ++s) {
            const double x0 = std::max(left, x_of(s->from_jd, view)), x1 = std::min(right, x_of(s->to_jd, view));
            if (open && x0 <= open->second + 1.0) {
                open->second = std::max(open->second, x1);
                continue;
            }
            flush();
            open = std::pair{x0, x1};
        }
        flush();
    };
    spans(lane.shadows, colours.shadow, bar);
    spans(lane.spans, lane.kind == LaneKind::void_moon ? colours.void_moon : colours.retrograde,
          lane.kind == LaneKind::void_moon ? bar : bar + 2.0);

    // Marks: a symbol each, at most one per pixel column.
    const double r = mark_radius_;
    auto e = std::lower_bound(lane.events.begin(), lane.events.end(), jd_at(left - r, view),
                              [](const TimelineEvent& a, double t) { return a.event.jd < t; });
    double last_x = -1e9;
    for (; e != lane.events.end() && e->event.jd <= jd_at(right + r, view); ++e) {
        const double x = x_of(e->event.jd, view);
        if (x - last_x < 1.0) continue;
        last_x = x;
        const QRectF disc(x - r, centre - r, 2 * r, 2 * r);
        const SkyEvent& ev = e->event;
        if (ev.kind == SkyEventKind::ingress) {
            // A triangle pointing the way the body crossed into the sign.
            const double d = ev.retrograde ? 1.0 : -1.0;
            const QPointF points[3] = {{x, centre + d * r}, {x - r * 0.8, centre - d * r * 0.6}, {x + r * 0.8, centre - d * r * 0.6}};
            painter.setPen(QPen(colours.background, 1));
            painter.setBrush(colours.event);
            painter.drawPolygon(points, 3);
        } else if (ev.kind == SkyEventKind::house_ingress) {
            // An open diamond: a natal house entered, told apart from the signs' triangles.
            const QPointF points[4] = {{x, centre - r}, {x + r * 0.7, centre}, {x, centre + r}, {x - r * 0.7, centre}};
            painter.setPen(QPen(colours.event, 1.5));
            painter.setBrush(colours.background);
            painter.drawPolygon(points, 4);
        } else if (ev.kind == SkyEventKind::lunation) {
            // The phase as the Moon shows it: dark new, bright full, a half lit at the quarters.
            painter.setPen(QPen(colours.event, 1));
            painter.setBrush(ev.phase == LunationPhase::new_moon ? colours.event : colours.background);
            painter.drawEllipse(disc);
            if (ev.phase == LunationPhase::first_quarter || ev.phase == LunationPhase::last_quarter) {
                painter.setBrush(colours.event);
                painter.drawPie(disc, (ev.phase == LunationPhase::first_quarter ? -90 : 90) * 16, 180 * 16);
            }
        } else if (ev.kind == SkyEventKind::eclipse) {
            // Solar: a dark disc in a bright ring; lunar: a ring around a shadowed disc.
            const bool solar = ev.body == 0;
            painter.setPen(QPen(colours.eclipse, solar ? 2.0 : 1.5));
            painter.setBrush(solar ? colours.text : colours.shadow);
            painter.drawEllipse(disc);
        }
    }
}

const std::string* TimelinePainter::event_text_at(QPoint pos, const TimelineView& view) const {
    const int i = lane_at(pos.y(), view);
    if (i < 0 || i >= timeline_.event_lanes || pos.x() < lanes_area(view).left()) return nullptr;
    const TimelineLane& lane = timeline_.lanes[static_cast<std::size_t>(i)];
    const double reach = mark_radius_ + 1.0;
    const std::string* best = nullptr;
    double best_distance = reach;
    auto e = std::lower_bound(lane.events.begin(), lane.events.end(), jd_at(pos.x() - reach, view),
                              [](const TimelineEvent& a, double t) { return a.event.jd < t; });
    for (; e != lane.events.end() && e->event.jd <= jd_at(pos.x() + reach, view); ++e) {
        const double d = std::fabs(x_of(e->event.jd, view) - pos.x());
        if (d <= best_distance) {
            best = &e->text;
            best_distance = d;
        }
    }
    if (best != nullptr) return best;
    const double at = jd_at(pos.x(), view), slack = jd_at(pos.x() + 1.0, view) - at;
    for (const TimelineSpan& s : lane.spans)
        if (s.from_jd - slack <= at && at <= s.to_jd + slack) return &s.text;
    return nullptr;
}

void TimelinePainter::paint_axis(QPainter& painter, const TimelineView& view, const TimelineColours& colours, bool top) const {
    const QRect area = lanes_area(view);
    const int band_top = top ? legend_height_ : area.bottom() + 1;
    const QRect band(0, band_top, view.size.width(), axis_height_);
    painter.fillRect(band, colours.axis);
    const int row = metrics_.height() + 2;
    // The top axis names the major period above the minor one, the bottom axis below it.
    const int minor_row = top ? band_top + row + 2 : band_top + 6;
    const int major_row = top ? band_top + 2 : band_top + row + 4;
    const int edge = top ? band.bottom() : band.top();
    const int inward = top ? -1 : 1;
    painter.setPen(QPen(colours.grid, 0));
    painter.drawLine(0, edge, view.size.width(), edge);

    painter.setPen(colours.text);
    if (top) {
        const int w = area.left() - 2 * text_pad;
        for (int line = 0; line < 2; ++line)
            painter.drawText(QRect(text_pad, line == 0 ? major_row : minor_row, w, row), Qt::AlignLeft | Qt::AlignVCenter,
                             metrics_.elidedText(corner_text(line), Qt::ElideRight, w));
    }

    const double px_per_day = (x_of(view.to_jd, view) - x_of(view.from_jd, view)) / std::max(1e-9, view.to_jd - view.from_jd);
    const Axis axis = axis_ticks(view.from_jd, view.to_jd, px_per_day, metrics_);
    const int left = area.left(), right = area.right();
    const auto label = [&](int x, int y, const QString& text) {
        const int w = metrics_.horizontalAdvance(text) + 1;
        if (x + w > view.size.width()) return;  // would be cut at the picture's edge
        painter.drawText(QRect(x, y, w, row), Qt::AlignLeft | Qt::AlignVCenter, text);
    };
    for (const Tick& t : axis.minor) {
        const int x = static_cast<int>(std::round(x_of(t.jd, view)));
        if (x < left || x > right) continue;
        painter.setPen(colours.text);
        painter.drawLine(x, edge, x, edge + inward * 5);
        label(x + 3, minor_row, t.label);
    }
    int first_major = std::numeric_limits<int>::max();
    for (const Tick& t : axis.major) {
        const int x = static_cast<int>(std::round(x_of(t.jd, view)));
        if (x < left || x > right) continue;
        first_major = std::min(first_major, x);
        painter.drawLine(x, band.top(), x, band.bottom());
        label(x + 3, major_row, t.label);
    }
    // The period the view starts in, unless its own tick is about to name it.
    if (axis.opening && left + 3 + metrics_.horizontalAdvance(*axis.opening) + 2 * text_pad < first_major)
        label(left + 3, major_row, *axis.opening);
}

std::optional<PictureFormat> picture_format_for(const QString& path) {
    if (path.endsWith(".png", Qt::CaseInsensitive)) return PictureFormat::png;
    if (path.endsWith(".svg", Qt::CaseInsensitive)) return PictureFormat::svg;
    return std::nullopt;
}

int max_picture_height(PictureFormat format, int width) {
    if (format == PictureFormat::svg) return std::numeric_limits<int>::max() / 2;
    return static_cast<int>(std::min<long long>(max_png_height, max_png_pixels / std::max(1, width)));
}

QByteArray render_picture(const TimelinePainter& painter, const TimelineView& view, const TimelineColours& colours,
                          PictureFormat format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format == PictureFormat::png) {
        QImage image(view.size, QImage::Format_RGB32);
        image.fill(colours.background);
        {
            QPainter p(&image);
            painter.paint(p, view, colours);
        }
        image.save(&buffer, "PNG");
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(view.size);
        svg.setViewBox(QRect(QPoint(0, 0), view.size));
        svg.setTitle("Tavrolin timeline");
        svg.setDescription("Exact aspects (diamonds) and stretches within one degree (bars) by body pair and aspect");
        QPainter p(&svg);
        painter.paint(p, view, colours);
    }
    return bytes;
}

bool write_picture_file(const std::string& path, const QByteArray& bytes, std::string* error) {
    AtomicFile file(path);
    if (!file.open(error)) return false;
    if (bytes.isEmpty()) {
        if (error) *error = "Could not write " + path + ": the picture could not be made";
        return false;
    }
    file.write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return file.commit(error);
}

}  // namespace tavrolin
