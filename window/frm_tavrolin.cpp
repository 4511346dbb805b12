#include "window/frm_tavrolin.h"
#include "window/wrapping_button.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>
#include <QAbstractItemView>
#include <QCompleter>
#include <QStyle>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <functional>

#include "engine/coordinates.h"
#include "engine/houses.h"
#include "engine/input_field.h"
#include "engine/text_rules.h"
#include "output/calculation_command.h"
#include "spreadsheet_uno/calc_connection.h"
#include "window/calc_progress.h"
#include "window/file_dialogs.h"
#include "window/frm_birth_time.h"
#include "window/frm_help_files.h"
#include "window/screen_placement.h"
#include "files/ini_file.h"
#include "files/regional.h"

namespace {

using namespace tavrolin;

// Which characters a box accepts when they are typed (pasted text is not filtered).
enum class KeyFilter { any, number, date, time_zone };

bool character_accepted(QChar c, KeyFilter filter) {
    const char16_t u = c.unicode();
    if (u == 8 || (u >= '0' && u <= '9')) return true;
    if (filter == KeyFilter::number) return u == '-' || u == '.';
    if (filter == KeyFilter::date) return u == '/';
    // A number, or a zone name such as "America/Port-au-Prince" or "Etc/GMT+5".
    if (filter == KeyFilter::time_zone)
        return u == '-' || u == '.' || u == '/' || u == '_' || u == '+' || (u < 128 && std::isalpha(static_cast<int>(u)));
    return true;
}

// A single-line box with the window's typed-character filter and select-all on focus.
class InputBox : public QLineEdit {
public:
    InputBox(QWidget* parent, KeyFilter filter) : QLineEdit(parent), filter_(filter) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (filter_ != KeyFilter::any && !typed_text_accepted(event)) return;  // discarded, silently
        QLineEdit::keyPressEvent(event);
    }

    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        // The focus comes back from the completer's list while the user types: selecting then
        // would let the next key replace what has been typed so far.
        if (event->reason() == Qt::PopupFocusReason) return;
        selectAll();
        // A mouse click that brings the focus places the caret after this event; select again
        // once it has been handled, so that typing still replaces the old value.
        if (event->reason() == Qt::MouseFocusReason) {
            QTimer::singleShot(0, this, [this] {
                if (hasFocus()) selectAll();
            });
        }
    }

private:
    bool typed_text_accepted(QKeyEvent* event) const {
        const QString text = event->text();
        if (text.isEmpty()) return true;  // no character: arrows, function keys, modifiers
        switch (event->key()) {
            case Qt::Key_Backspace:
            case Qt::Key_Delete:  // edits, does not type
            case Qt::Key_Tab:
            case Qt::Key_Backtab:  // moves the focus
            case Qt::Key_Return:
            case Qt::Key_Enter:  // runs the box's calculation
                return true;
            default: break;
        }
        // The editing shortcuts are commands here, not characters.
        for (auto key : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::SelectAll,
                         QKeySequence::Undo, QKeySequence::Redo}) {
            if (event->matches(key)) return true;
        }
        for (QChar c : text) {
            if (!character_accepted(c, filter_)) return false;
        }
        return true;
    }

    KeyFilter filter_;
};

// One Tab stop for a group of ticks, as for a group of option buttons: the tick that last had the
// focus is the stop, the arrow keys move the focus within the group and Space ticks (the tick's
// own key). The others keep their click focus and their place in the Tab chain.
class TickGroup : public QObject {
public:
    TickGroup(QObject* parent, std::vector<QCheckBox*> ticks) : QObject(parent), ticks_(std::move(ticks)) {
        for (QCheckBox* tick : ticks_) tick->installEventFilter(this);
        make_stop(ticks_.front());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FocusIn && event->type() != QEvent::KeyPress) return false;
        // A tick that is being destroyed is no longer a QCheckBox.
        auto* tick = qobject_cast<QCheckBox*>(watched);
        if (tick == nullptr) return false;
        if (event->type() == QEvent::FocusIn) {
            make_stop(tick);
        } else if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
            int step = 0;
            switch (key->key()) {
                case Qt::Key_Up:
                case Qt::Key_Left: step = -1; break;
                case Qt::Key_Down:
                case Qt::Key_Right: step = 1; break;
                default: return false;
            }
            const auto at = std::find(ticks_.begin(), ticks_.end(), tick) - ticks_.begin();
            for (auto i = at + step; i >= 0 && i < static_cast<std::ptrdiff_t>(ticks_.size()); i += step) {
                QCheckBox* next = ticks_[static_cast<std::size_t>(i)];
                if (next->isEnabled() && next->isVisibleTo(next->window())) {
                    next->setFocus(step < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
                    break;
                }
            }
            return true;  // at the group's ends the focus stays, rather than the window scrolling
        }
        return false;
    }

private:
    void make_stop(QCheckBox* stop) {
        for (QCheckBox* tick : ticks_) tick->setFocusPolicy(tick == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }

    std::vector<QCheckBox*> ticks_;
};

// A multi-line results box; a double click selects all of it.
class ResultsBox : public QPlainTextEdit {
public:
    ResultsBox(QWidget* parent, std::function<void()> on_double_click)
        : QPlainTextEdit(parent), on_double_click_(std::move(on_double_click)) {}

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        QPlainTextEdit::mouseDoubleClickEvent(event);
        on_double_click_();
    }

private:
    std::function<void()> on_double_click_;
};


std::string to_std(const QString& text) { return text.toStdString(); }
QString to_q(const std::string& text) { return QString::fromStdString(text); }
QStringList to_q_list(const std::vector<std::string>& texts) {
    QStringList list;
    for (const auto& text : texts) list << to_q(text);
    return list;
}

// The form a date box expects in a date order: "MM/DD/YYYY", "DD/MM/YYYY" or "YYYY/MM/DD".
QString date_form_hint(int date_order) {
    switch (date_order) {
        case 1: return "DD/MM/YYYY";
        case 2: return "YYYY/MM/DD";
        default: return "MM/DD/YYYY";
    }
}

int tick(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }

// The house systems of the Options menu, by their letters, in the menu's order.
constexpr std::string_view house_system_letters = "PKORCEW";

// Layout in twips. The columns on the right, their row pitch and the middle results box are the
// positions the wide-screen rule works from; the rest is arranged around them.
constexpr int margin = 120;
constexpr int row_pitch = 300;
constexpr int box_height = 330;
constexpr int tick_height = 285;
constexpr int columns_top = 120;
constexpr int first_row_top = columns_top + 2 * row_pitch;
constexpr int aspects_left = 8430;
constexpr int p1_left = 9210;
constexpr int p2_left = 10830;
constexpr int aspect_width = p1_left - aspects_left - 60;
constexpr int body_width = p2_left - p1_left - 60;
constexpr int results1_left = 3465;
constexpr int results1_top = 120;
constexpr int results1_width = 4800;
constexpr int results1_height = 6750;
constexpr int left_column_width = results1_left - margin - 120;
constexpr int below_top = results1_top + results1_height + 120;  // 6990

constexpr int tz_box_top = 1230;  // below the "Time Zone: " label, the column's width
constexpr int results0_top = tz_box_top + box_height + 90;
constexpr int date_label_width = 1200;
constexpr int date_field_left = margin + date_label_width;
constexpr int natal_label_width = 1740;
constexpr int natal_field_left = results1_left + natal_label_width;
constexpr int natal_top = below_top + 540;
constexpr int natal_time_top = natal_top + 420;
constexpr int place_top = natal_time_top + 420;
constexpr int coordinates_top = place_top + 420;
constexpr int export_top = coordinates_top + 510;
constexpr int events_top = below_top + 1560;  // under the degree run's command
constexpr int file_button_left = results1_left + results1_width - 1560;

QLabel* make_label(QWidget* c, const QString& name, const QString& text) {
    auto* l = new QLabel(text, c);
    l->setObjectName(name);
    return l;
}

QLineEdit* make_input(QWidget* c, const char* name, KeyFilter filter, int max_length, const QString& text) {
    auto* box = new InputBox(c, filter);
    box->setObjectName(name);
    if (max_length > 0) box->setMaxLength(max_length);
    box->setText(text);
    return box;
}

QCheckBox* make_check(QWidget* c, const QString& name, const QString& caption, bool ticked) {
    auto* box = new QCheckBox(caption, c);
    box->setObjectName(name);
    box->setChecked(ticked);
    return box;
}

QPushButton* make_button(QWidget* c, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, c);
    b->setObjectName(name);
    return b;
}

// Disables commands for as long as it lives and then gives them back their former state.
class CommandsDisabled {
public:
    CommandsDisabled(std::initializer_list<QWidget*> widgets, std::initializer_list<QAction*> actions) {
        for (QWidget* w : widgets) {
            widgets_.emplace_back(w, w->isEnabled());
            w->setEnabled(false);
        }
        for (QAction* a : actions) {
            actions_.emplace_back(a, a->isEnabled());
            a->setEnabled(false);
        }
    }
    ~CommandsDisabled() {
        for (auto& [w, enabled] : widgets_) w->setEnabled(enabled);
        for (auto& [a, enabled] : actions_) a->setEnabled(enabled);
    }
    CommandsDisabled(const CommandsDisabled&) = delete;
    CommandsDisabled& operator=(const CommandsDisabled&) = delete;

private:
    std::vector<std::pair<QWidget*, bool>> widgets_;
    std::vector<std::pair<QAction*, bool>> actions_;
};

}  // namespace

frmTavrolin::frmTavrolin(tavrolin::WindowSetup setup, QWidget* parent)
    : QMainWindow(parent), setup_(std::move(setup)) {
    places_ = setup_.places ? *setup_.places
                            : tavrolin::find_file_places(tavrolin::native_path(QCoreApplication::applicationDirPath()));
    if (QScreen* s = screen()) {
        dpi_x_ = s->logicalDotsPerInchX();
        dpi_y_ = s->logicalDotsPerInchY();
    }
    setWindowTitle("Tavrolin");
    // Every window of the program shows the icon of its menu entry (in the window's resources, so
    // that a portable copy has it too).
    QIcon icon;
    for (const char* size : {"48x48", "256x256"}) icon.addFile(QString(":/icons/%1/" TAVROLIN_APP_ID ".png").arg(size));
    QApplication::setWindowIcon(icon);
    setWindowIcon(icon);
    build_controls();
    build_menus();
    name_controls();
    set_tab_order();
    connect_commands();
    connect_keys();
    Form_Load();
}

frmTavrolin::~frmTavrolin() = default;

int frmTavrolin::twips_to_px_x(int twips) const { return static_cast<int>(std::lround(twips * dpi_x_ / 1440.0)); }
int frmTavrolin::twips_to_px_y(int twips) const { return static_cast<int>(std::lround(twips * dpi_y_ / 1440.0)); }

void frmTavrolin::place(QWidget* control, int left, int top, int width, int height) {
    twips_.insert(control, QRect(left, top, width, height));
    apply_geometry(control);
}

void frmTavrolin::apply_geometry(QWidget* control) {
    const QRect t = twips_.value(control);
    // Edges are converted rather than sizes, so that controls that meet in twips meet in pixels.
    const int x0 = twips_to_px_x(t.left());
    const int y0 = twips_to_px_y(t.top());
    QRect r(x0, y0, twips_to_px_x(t.left() + t.width()) - x0, twips_to_px_y(t.top() + t.height()) - y0);
    // The room the client area has beyond the layout: a third of the width to the left column,
    // the rest to the main results, all of the height to both results boxes.
    const int left_share = extra_px_.width() / 3;
    const int rest = extra_px_.width() - left_share;
    const Growth g = growth_.value(control);
    r.translate(g.x_left * left_share + g.x_rest_halves * rest / 2, g.y * extra_px_.height());
    r.setSize(r.size() + QSize(g.w_left * left_share + g.w_rest * rest, g.h * extra_px_.height()));
    control->setGeometry(r);
}

// How each control follows the results area when the window is larger than the layout: the
// results boxes grow, what lies below them moves down, what lies to the right of a box moves right.
// The columns are told apart by the narrow layout's positions, which the wide one keeps in order.
void frmTavrolin::set_growth() {
    const int main_right = results1_left + results1_width;
    for (auto it = twips_.cbegin(); it != twips_.cend(); ++it) {
        const QRect t = it.value();
        Growth g;
        if (t.left() >= main_right) {
            g.x_left = 1;
            g.x_rest_halves = 2;
        } else {
            if (t.left() >= results1_left) g.x_left = 1;
            if (t.top() >= below_top) g.y = 1;
        }
        growth_.insert(it.key(), g);
    }
    growth_[txtResults[0]] = Growth{0, 0, 1, 0, 0, 1};
    growth_[txtResults[1]] = Growth{1, 0, 0, 1, 0, 1};
    growth_[cmdCalculate_T_to_Point].w_left = 1;
    growth_[cmdTavrolin].x_rest_halves = 1;  // stays centred under the results
    for (QWidget* w : {cmdOpen, cmdSave}) growth_[w].x_rest_halves = 2;  // stay at the results' right edge
}

bool frmTavrolin::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_ && event->type() == QEvent::Resize) grow_to_client_area();
    return QMainWindow::eventFilter(watched, event);
}

void frmTavrolin::grow_to_client_area() {
    const QSize base(twips_to_px_x(window_width_twips_), twips_to_px_y(canvas_height_twips_));
    QSize room = scroll_->size();
    // Smaller than the layout one way, the client area shows a scroll bar that takes room the other way.
    const int bar = scroll_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
    if (room.height() < base.height()) room.rwidth() -= bar;
    if (room.width() < base.width()) room.rheight() -= bar;
    const QSize extra = (room - base).expandedTo(QSize(0, 0));
    canvas_->setFixedSize(base + extra);
    if (extra == extra_px_) return;
    extra_px_ = extra;
    for (auto it = twips_.cbegin(); it != twips_.cend(); ++it) apply_geometry(const_cast<QWidget*>(it.key()));
}

void frmTavrolin::move_left_twips(QWidget* control, int delta) {
    twips_[control].translate(delta, 0);
    apply_geometry(control);
}

void frmTavrolin::set_left_twips(QWidget* control, int left) {
    twips_[control].moveLeft(left);
    apply_geometry(control);
}

void frmTavrolin::set_width_twips(QWidget* control, int width) {
    twips_[control].setWidth(width);
    apply_geometry(control);
}

void frmTavrolin::build_controls() {
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("clientArea");
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(false);
    // Not a Tab stop of its own: it scrolls to the control that takes the focus.
    scroll_->setFocusPolicy(Qt::NoFocus);
    canvas_ = new QWidget;
    canvas_->setObjectName("controls");

    build_dates_and_zone(canvas_);
    build_results(canvas_);
    build_degree(canvas_);
    build_buttons(canvas_);
    build_natal(canvas_);
    build_place(canvas_);
    build_events(canvas_);
    build_aspects(canvas_);
    build_p1(canvas_);
    build_p2(canvas_);
    build_options_and_modes(canvas_);

    int bottom = 0;
    for (auto it = twips_.cbegin(); it != twips_.cend(); ++it) bottom = std::max(bottom, it.value().bottom() + 1);
    canvas_height_twips_ = bottom + margin;

    set_growth();
    scroll_->setWidget(canvas_);
    scroll_->installEventFilter(this);
    setCentralWidget(scroll_);
    setStatusBar(new QStatusBar(this));
    statusBar()->setObjectName("statusBar");
    // Made now, so that the status bar has room for the progress panel before the window is sized.
    new tavrolin::CalcProgress(this);
}

// Top left: the date range and the time zone, the degree run's results below them.
void frmTavrolin::build_dates_and_zone(QWidget* c) {
    lblStartDate = make_label(c, "lblStartDate", "Start Date: ");
    place(lblStartDate, margin, 120, date_label_width, box_height);
    txtStartdate = make_input(c, "txtStartdate", KeyFilter::any, max_len_start_date, "12/01/2005");
    place(txtStartdate, date_field_left, 120, 1500, box_height);
    lblEndDate = make_label(c, "lblEndDate", "End Date: ");
    place(lblEndDate, margin, 510, date_label_width, box_height);
    txtEndDate = make_input(c, "txtEndDate", KeyFilter::any, max_len_end_date, "12/31/2005");
    place(txtEndDate, date_field_left, 510, 1500, box_height);
    lblTZ = make_label(c, "lblTZ", "Time Zone: ");
    place(lblTZ, margin, 900, date_label_width, box_height);
    txtTZ = make_input(c, "txtTZ", KeyFilter::time_zone, max_len_tz_box, "8");
    // The system's zone names offered while typing, in a list that only replaces the text when
    // one of them is chosen. The box has a row of its own below its label, as wide as the column,
    // so that a long name such as "America/Argentina/Buenos_Aires" shows whole.
    const QStringList names = to_q_list(tavrolin::zone_names());
    auto* zones = new QCompleter(names, txtTZ);
    zones->setCaseSensitivity(Qt::CaseInsensitive);
    zones->setFilterMode(Qt::MatchContains);
    zones->setCompletionMode(QCompleter::PopupCompletion);
    txtTZ->setCompleter(zones);
    int longest = 0;
    for (const QString& name : names) longest = std::max(longest, zones->popup()->fontMetrics().horizontalAdvance(name));
    // The list is at least as wide as the longest name, its scroll bar and frame.
    zones->popup()->setMinimumWidth(longest + zones->popup()->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 24);
    connect(txtTZ, &QLineEdit::textChanged, txtTZ, &QLineEdit::setToolTip);
    place(txtTZ, margin, tz_box_top, left_column_width, box_height);
}

// The degree run's results on the left, the main results in the middle.
void frmTavrolin::build_results(QWidget* c) {
    for (int i = 0; i < 2; ++i) {
        auto* box = new ResultsBox(c, [this, i] { txtResults_DblClick(i); });
        box->setObjectName(QString("txtResults_%1").arg(i));
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        box->setTabChangesFocus(true);
        // Results are the program's, not the user's: they select and copy but take no typing,
        // so that an edited listing cannot pass for a computed one.
        box->setReadOnly(true);
        box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        txtResults[static_cast<std::size_t>(i)] = box;
    }
    place(txtResults[0], margin, results0_top, left_column_width, results1_top + results1_height - results0_top);
    place(txtResults[1], results1_left, results1_top, results1_width, results1_height);
}

// Below the degree run's results: the degree and its command.
void frmTavrolin::build_degree(QWidget* c) {
    lblZodiacDegree = make_label(c, "lblZodiacDegree", "Zodiac decimal degree: ");
    place(lblZodiacDegree, margin, below_top, left_column_width, box_height);
    txtZodiacDegree = make_input(c, "txtZodiacDegree", KeyFilter::any, max_len_zodiac_degree, "179.331227");
    place(txtZodiacDegree, margin, below_top + 360, 1500, box_height);
    cmdCalculate_T_to_Point = new WrappingButton("Calculate transit to a Zodiac degree (longitude or decl.)", c);
    cmdCalculate_T_to_Point->setObjectName("cmdCalculate_T_to_Point");
    connect(cmdCalculate_T_to_Point, &QPushButton::clicked, this, &frmTavrolin::cmdCalculate_T_to_Point_Click);
    place(cmdCalculate_T_to_Point, margin, below_top + 840, left_column_width, 600);
}

// Under the main results: its command, and the copy with its tick.
void frmTavrolin::build_buttons(QWidget* c) {
    cmdTavrolin = make_button(c, "cmdTavrolin", "Calculate tavrolin");
    connect(cmdTavrolin, &QPushButton::clicked, this, &frmTavrolin::cmdTavrolin_Click);
    place(cmdTavrolin, results1_left + (results1_width - 2400) / 2, below_top, 2400, 420);
    cmdCopy_to_Excel = make_button(c, "cmdCopy_to_Excel", tavrolin::ExportCommand::copy_caption);
    connect(cmdCopy_to_Excel, &QPushButton::clicked, this, [this] { export_command_.cmdCopy_to_Excel_Click(); });
    place(cmdCopy_to_Excel, results1_left, export_top, 1620, 390);
    chkDateOnly = make_check(c, "chkDateOnly", "Copy date only", true);
    place(chkDateOnly, natal_field_left, export_top + 45, 2040, tick_height);
}

// The natal date and time with the buttons of their file.
void frmTavrolin::build_natal(QWidget* c) {
    lblNatalDate = make_label(c, "lblNatalDate", "Natal date: ");
    place(lblNatalDate, results1_left, natal_top, natal_label_width, box_height);
    txtNatalDate = make_input(c, "txtNatalDate", KeyFilter::date, 0, QString());
    place(txtNatalDate, natal_field_left, natal_top, 1380, box_height);
    cmdOpen = make_button(c, "cmdOpen", "Open");
    connect(cmdOpen, &QPushButton::clicked, this, [this] { file_commands_.cmdOpen_Click(); });
    place(cmdOpen, file_button_left, natal_top - 15, 1560, 360);
    lblNatalTime = make_label(c, "lblNatalTime", "Natal time (GMT): ");
    place(lblNatalTime, results1_left, natal_time_top, natal_label_width, box_height);
    txtNatalTime = make_input(c, "txtNatalTime", KeyFilter::number, max_len_natal_time, "16.43");
    place(txtNatalTime, natal_field_left, natal_time_top, 900, box_height);
    cmdSave = make_button(c, "cmdSave", "Save");
    connect(cmdSave, &QPushButton::clicked, this, [this] { file_commands_.cmdSave_Click(); });
    place(cmdSave, file_button_left, natal_time_top - 15, 1560, 360);
}

// The three columns on the right, one row every row_pitch: first the aspects, with the
// user-defined angle's box one row lower, under its text box.
void frmTavrolin::build_aspects(QWidget* c) {
    lblAspects = make_label(c, "lblAspects", "Aspects");
    place(lblAspects, aspects_left, columns_top, aspect_width, tick_height);
    const std::array<int, 8> aspects_ticked = {0, 5, 7, 9, 12, 14, 16, 17};
    for (int a = 0; a < aspect_count; ++a) {
        const bool ticked = std::find(aspects_ticked.begin(), aspects_ticked.end(), a) != aspects_ticked.end();
        auto* box = make_check(c, QString("chkAspects_%1").arg(a), to_q(std::string(default_aspect_captions[a])), ticked);
        const int row = a < user_defined_aspect ? a : a + 1;
        place(box, aspects_left, first_row_top + row * row_pitch, aspect_width, tick_height);
        chkAspects[static_cast<std::size_t>(a)] = box;
    }
    txtUserDefinedAngle = make_input(c, "txtUserDefinedAngle", KeyFilter::number, 0, "51.7");
    place(txtUserDefinedAngle, aspects_left, first_row_top + user_defined_aspect * row_pitch - 10, aspect_width, row_pitch + 5);
    connect(txtUserDefinedAngle, &QLineEdit::textChanged, this, &frmTavrolin::txtUserDefinedAngle_Change);
}

// A column of bodies: its heading, its Helio tick and a tick per body. The Helio tick stays put
// when the columns move right on a wide screen; it sits in a row of its own over the part of its
// column that both layouts share, so nothing overlaps.
void frmTavrolin::build_body_column(QWidget* c, const QString& name, const QString& heading, int left, QLabel*& label,
                                    QCheckBox*& helio, std::array<QCheckBox*, tavrolin::body_count>& boxes) {
    label = make_label(c, name, heading);
    place(label, left, columns_top, body_width, tick_height);
    helio = make_check(c, name + "_G_or_H", "Helio", false);
    place(helio, left + wide_screen_shift, columns_top + row_pitch, p2_left - p1_left - wide_screen_shift, tick_height);
    const std::array<int, 6> bodies_ticked = {5, 6, 7, 8, 9, 15};
    for (int b = 0; b < body_count; ++b) {
        const bool ticked = std::find(bodies_ticked.begin(), bodies_ticked.end(), b) != bodies_ticked.end();
        auto* box = make_check(c, QString("%1_%2").arg(name).arg(b), to_q(std::string(body_captions[b])), ticked);
        place(box, left, first_row_top + b * row_pitch, body_width, tick_height);
        boxes[static_cast<std::size_t>(b)] = box;
    }
}

void frmTavrolin::build_p1(QWidget* c) {
    build_body_column(c, "chkP1Planets", "P1 Planets", p1_left, lblP1Planets, chkP1Planets_G_or_H, chkP1Planets);
    // The void-of-course Moon is one of the Moon's events: a run without the Moon in P1 finds none.
    const auto void_moon = [this] {
        const bool moon = chkP1Planets[1]->isChecked();
        chkEvents[4]->setEnabled(moon);
        chkEvents[4]->setToolTip(moon ? QString() : "The void-of-course Moon is one of the Moon's events: tick the Moon in P1");
    };
    connect(chkP1Planets[1], &QCheckBox::toggled, this, void_moon);
    void_moon();
}

void frmTavrolin::build_p2(QWidget* c) {
    build_body_column(c, "chkP2Planets", "P2 Planets", p2_left, lblP2Planets, chkP2Planets_G_or_H, chkP2Planets);
    // The natal angles side by side in one row under the bodies: short captions, and the
    // window keeps its height for the rows below.
    for (int i = 0; i < 2; ++i) {
        auto* box = make_check(c, QString("chkP2Planets_%1").arg(asc_point + i), to_q(std::string(angle_captions[i])), false);
        place(box, p2_left + i * body_width / 2, first_row_top + body_count * row_pitch, body_width / 2, tick_height);
        chkP2Angles[static_cast<std::size_t>(i)] = box;
    }
    // The horizon is the observer's: a heliocentric P2 column has no angles.
    connect(chkP2Planets_G_or_H, &QCheckBox::toggled, this, &frmTavrolin::update_angle_ticks);
}

// Under the natal date and time: the birth place's name and coordinates.
void frmTavrolin::build_place(QWidget* c) {
    lblBirthPlace = make_label(c, "lblBirthPlace", "Birth place: ");
    place(lblBirthPlace, results1_left, place_top, natal_label_width, box_height);
    txtBirthPlace = make_input(c, "txtBirthPlace", KeyFilter::any, max_len_place_name, QString());
    place(txtBirthPlace, natal_field_left, place_top, results1_left + results1_width - natal_field_left, box_height);
    constexpr int lat_label_width = 600, lat_box_width = 1560, long_label_width = 780;
    lblLatitude = make_label(c, "lblLatitude", "Lat: ");
    place(lblLatitude, results1_left, coordinates_top, lat_label_width, box_height);
    txtLatitude = make_input(c, "txtLatitude", KeyFilter::any, max_len_coordinate, QString());
    place(txtLatitude, results1_left + lat_label_width, coordinates_top, lat_box_width, box_height);
    const int long_left = results1_left + lat_label_width + lat_box_width + 120;
    lblLongitude = make_label(c, "lblLongitude", "Long: ");
    place(lblLongitude, long_left, coordinates_top, long_label_width, box_height);
    txtLongitude = make_input(c, "txtLongitude", KeyFilter::any, max_len_coordinate, QString());
    place(txtLongitude, long_left + long_label_width, coordinates_top,
          results1_left + results1_width - long_left - long_label_width, box_height);
    for (QLineEdit* box : {txtLatitude, txtLongitude}) {
        box->setPlaceholderText(box == txtLatitude ? "48N51" : "2E21");
        connect(box, &QLineEdit::textChanged, this, &frmTavrolin::update_angle_ticks);
    }
    // The atlas's places offered as the name is typed; a chosen one fills the coordinates.
    auto* atlas = new tavrolin::PlaceCompleter(txtBirthPlace);
    connect(atlas, &tavrolin::PlaceCompleter::placeChosen, this, &frmTavrolin::place_chosen);
    // A place edited by hand is no longer the atlas's: its zone no longer goes with it.
    for (QLineEdit* box : {txtBirthPlace, txtLatitude, txtLongitude})
        connect(box, &QLineEdit::textEdited, this, [this] { chosen_place_zone_.clear(); });
}

// Under the degree run's command: the sky's events searched beside the aspects, two to a row in
// reading order, and the house ingresses, the longest caption, in a row of their own.
void frmTavrolin::build_events(QWidget* c) {
    lblEvents = make_label(c, "lblEvents", "Events");
    place(lblEvents, margin, events_top, left_column_width, tick_height);
    constexpr int first_width = 1500;
    for (std::size_t i = 0; i < chkEvents.size(); ++i) {
        auto* box = make_check(c, QString("chkEvents_%1").arg(i), to_q(std::string(event_captions[i])), false);
        const int column = static_cast<int>(i % 2), row = static_cast<int>(i / 2);
        place(box, margin + column * first_width, events_top + (row + 1) * row_pitch,
              column == 0 ? first_width - 60 : left_column_width - first_width, tick_height);
        chkEvents[i] = box;
    }
    chkHouseIngresses = make_check(c, "chkHouseIngresses", to_q(std::string(house_ingresses_caption)), false);
    place(chkHouseIngresses, margin, events_top + 4 * row_pitch, left_column_width, tick_height);
}

// Bottom right: the option ticks, the years back and the four modes.
void frmTavrolin::build_options_and_modes(QWidget* c) {
    const int options_top = first_row_top + (body_count + 1) * row_pitch + 120;  // under the angles' row
    chkApparentPos = make_check(c, "chkApparentPos", "Apparent pos.?", true);
    place(chkApparentPos, aspects_left, options_top, 1800, tick_height);
    chkUse_ET = make_check(c, "chkUse_ET", "Use ET", true);
    place(chkUse_ET, aspects_left + 1860, options_top, 1140, tick_height);
    chkHelio = make_check(c, "chkHelio", "Helio", false);
    place(chkHelio, aspects_left + 3060, options_top, 960, tick_height);
    chkSortOutput = make_check(c, "chkSortOutput", "Sort Output", true);
    place(chkSortOutput, aspects_left, options_top + row_pitch, 1800, tick_height);
    chkIgnoreDups = make_check(c, "chkIgnoreDups", "Ignore duplicates", false);
    place(chkIgnoreDups, aspects_left + 1860, options_top + row_pitch, 2160, tick_height);
    lblYearsBack = make_label(c, "lblYearsBack", "Yrs back ");
    place(lblYearsBack, aspects_left, options_top + 2 * row_pitch + 30, 900, box_height);
    txtYearsBack = make_input(c, "txtYearsBack", KeyFilter::number, max_len_years_back, "1");
    place(txtYearsBack, aspects_left + 900, options_top + 2 * row_pitch + 30, 540, box_height);

    mode_group = new QButtonGroup(this);
    mode_group->setObjectName("optNatal_Transit_Progressed");
    const std::array<const char*, 4> mode_captions = {"Transit to natal planets", "Transit to transit planets",
                                                      "Progressed to natal planets", "Solar arc to natal planets"};
    const int modes_top = options_top + 3 * row_pitch + 120;
    for (int m = 0; m < 4; ++m) {
        auto* option = new QRadioButton(mode_captions[static_cast<std::size_t>(m)], c);
        option->setObjectName(QString("optNatal_Transit_Progressed_%1").arg(m));
        mode_group->addButton(option, m);
        place(option, aspects_left, modes_top + m * row_pitch, 4020, tick_height);
        optNatal_Transit_Progressed[static_cast<std::size_t>(m)] = option;
    }
    optNatal_Transit_Progressed[0]->setChecked(true);
    connect(mode_group, &QButtonGroup::idClicked, this, &frmTavrolin::optNatal_Transit_Progressed_Click);
    // Whatever selects a mode (a click, an arrow key, a settings file) decides where the angles apply.
    connect(mode_group, &QButtonGroup::idToggled, this, [this] { update_angle_ticks(); });
}

void frmTavrolin::build_menus() {
    auto entry = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        action->setShortcut(shortcut);
        return action;
    };
    auto split = [](QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(name); };
    menuBar()->setObjectName("menuBar");

    mnuFile = menuBar()->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    mnuFileLoadSettings = entry(mnuFile, "mnuFileLoadSettings", "&Load settings", QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuFileSaveSettings = entry(mnuFile, "mnuFileSaveSettings", "&Save settings", QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuFileExportResults = entry(mnuFile, "mnuFileExportResults", "&Export results...", QKeySequence(Qt::CTRL | Qt::Key_E));
    mnuFileExportResults->setEnabled(false);  // by the first run that finishes
    // Printing. Ctrl+P works in every window of the program: the command prints what the active
    // one shows (the listing, the natal report, the timeline).
    mnuFilePrint = entry(mnuFile, "mnuFilePrint", "P&rint...", QKeySequence::Print);
    mnuFilePrint->setShortcutContext(Qt::ApplicationShortcut);
    mnuFileExportPdf = entry(mnuFile, "mnuFileExportPdf", "Export P&DF...", QKeySequence());
    split(mnuFile, "mnuSplit2");
    mnuFileLoadFav1 = entry(mnuFile, "mnuFileLoadFav1", "Load fav&1.opt", QKeySequence(Qt::CTRL | Qt::Key_F1));
    mnuFileLoadFav2 = entry(mnuFile, "mnuFileLoadFav2", "Load fav&2.opt", QKeySequence(Qt::CTRL | Qt::Key_F2));
    split(mnuFile, "mnuSplit17");
    mnuNatalPlanetPositionsLongitude = entry(mnuFile, "mnuNatalPlanetPositionsLongitude",
                                             "&Natal planet positions - longitude", QKeySequence(Qt::Key_F11));
    mnuNatalPlanetPositionsDecl_Lat = entry(mnuFile, "mnuNatalPlanetPositionsDecl_Lat",
                                            "Natal &planet positions - decl/lat", QKeySequence(Qt::Key_F12));
    split(mnuFile, "mnuSplit4158");
    mnuNatalPlanetPositionsLongitude_SIDEREAL =
        entry(mnuFile, "mnuNatalPlanetPositionsLongitude_SIDEREAL",
              "Natal sidereal (Lahiri) planet positions - longitude", QKeySequence(Qt::CTRL | Qt::Key_F11));
    mnuNatalHouses = entry(mnuFile, "mnuNatalHouses", "Natal &houses", QKeySequence(Qt::SHIFT | Qt::Key_F11));

    mnuAdjustDates = menuBar()->addMenu("&Adjust Dates");
    mnuAdjustDates->setObjectName("mnuAdjustDates");
    mnuPreviousStartDate = entry(mnuAdjustDates, "mnuPreviousStartDate", "&Previous start date", QKeySequence(Qt::Key_F1));
    mnuNextStartDate = entry(mnuAdjustDates, "mnuNextStartDate", "&Next start date", QKeySequence(Qt::Key_F2));
    mnuPreviousEndDate = entry(mnuAdjustDates, "mnuPreviousEndDate", "Previous &end date", QKeySequence(Qt::Key_F3));
    mnuNextEndDate = entry(mnuAdjustDates, "mnuNextEndDate", "Next end &date", QKeySequence(Qt::Key_F4));
    split(mnuAdjustDates, "mnuSplit1");
    mnuPreviousMonth = entry(mnuAdjustDates, "mnuPreviousMonth", "Previous month", QKeySequence(Qt::Key_F5));
    mnuNextMonth = entry(mnuAdjustDates, "mnuNextMonth", "Next month", QKeySequence(Qt::Key_F6));
    mnuAdjustDates->addSeparator();
    mnuConvertLocalBirthTime = entry(mnuAdjustDates, "mnuConvertLocalBirthTime", "&Convert local birth time...", QKeySequence());

    mnuOptions = menuBar()->addMenu("&Options");
    mnuOptions->setObjectName("mnuOptions");
    mnuUseQuillDisplaySettings =
        entry(mnuOptions, "mnuUseQuillDisplaySettings", "Use &Quill's display settings", QKeySequence(Qt::Key_F7));
    mnuUseQuillDisplaySettings->setCheckable(true);
    mnuUseLunettaDisplaySettings =
        entry(mnuOptions, "mnuUseLunettaDisplaySettings", "Use &Lunetta's display settings", QKeySequence(Qt::Key_F8));
    mnuUseLunettaDisplaySettings->setCheckable(true);
    split(mnuOptions, "mnuSplit3");
    mnuShowDatesInLife = entry(mnuOptions, "mnuShowDatesInLife", "Show dates in life", QKeySequence());
    mnuShowDatesInLife->setCheckable(true);
    split(mnuOptions, "mnuSplit5");
    mnuHouseSystem = mnuOptions->addMenu("&House system");
    mnuHouseSystem->setObjectName("mnuHouseSystem");
    house_system_group = new QActionGroup(this);
    house_system_group->setExclusive(true);
    for (std::size_t i = 0; i < house_system_letters.size(); ++i) {
        const auto system = tavrolin::house_system_from_letter(house_system_letters[i]);
        QAction* action = mnuHouseSystem->addAction(to_q(std::string(tavrolin::house_system_name(*system))));
        action->setObjectName(QString("mnuHouseSystem_%1").arg(i));
        action->setCheckable(true);
        action->setChecked(i == 0);
        house_system_group->addAction(action);
        mnuHouseSystems.push_back(action);
    }

    mnuView = menuBar()->addMenu("&View");
    mnuView->setObjectName("mnuView");
    mnuViewTimeline = entry(mnuView, "mnuViewTimeline", "&Timeline", QKeySequence(Qt::Key_F9));

    // Help has no entries: the menu bar item itself is the command.
    mnuHelp = menuBar()->addAction("&Help");
    mnuHelp->setObjectName("mnuHelp");
}

// Names for screen readers and test tools on the accessibility bus: each input box is named by
// its label (its buddy too, so that the label's mnemonics and tools that look for the buddy
// agree), the boxes without a label and the results boxes by what they hold.
void frmTavrolin::name_controls() {
    const std::pair<QLabel*, QLineEdit*> labelled[] = {
        {lblStartDate, txtStartdate},       {lblEndDate, txtEndDate},     {lblTZ, txtTZ},
        {lblZodiacDegree, txtZodiacDegree}, {lblNatalDate, txtNatalDate}, {lblNatalTime, txtNatalTime},
        {lblYearsBack, txtYearsBack},       {lblBirthPlace, txtBirthPlace}, {lblLatitude, txtLatitude},
        {lblLongitude, txtLongitude},
    };
    for (const auto& [label, box] : labelled) {
        label->setBuddy(box);
        QString name = label->text().trimmed();
        if (name.endsWith(':')) name.chop(1);
        box->setAccessibleName(name);
    }
    txtUserDefinedAngle->setAccessibleName("User-defined angle");
    txtResults[0]->setAccessibleName("Zodiac degree results");
    txtResults[1]->setAccessibleName("Aspects results");
    // The buttons and ticks are named by their captions. The menu bar's button for the menus
    // that do not fit shows an arrow alone.
    if (auto* more = menuBar()->findChild<QToolButton*>("qt_menubar_ext_button")) more->setAccessibleName("More menus");
}

// The menu entries to the window's own commands and to the command objects'.
void frmTavrolin::connect_commands() {
    const std::pair<QAction*, std::function<void()>> actions[] = {
        {mnuFileLoadSettings, [this] { file_commands_.mnuFileLoadSettings_Click(); }},
        {mnuFileSaveSettings, [this] { file_commands_.mnuFileSaveSettings_Click(); }},
        {mnuFileExportResults, [this] { export_command_.mnuFileExportResults_Click(); }},
        {mnuFilePrint, [this] { print_command_.mnuFilePrint_Click(); }},
        {mnuFileExportPdf, [this] { print_command_.mnuFileExportPdf_Click(); }},
        {mnuFileLoadFav1, [this] { file_commands_.mnuFileLoadFav1_Click(); }},
        {mnuFileLoadFav2, [this] { file_commands_.mnuFileLoadFav2_Click(); }},
        {mnuNatalPlanetPositionsLongitude, [this] { report_commands_.mnuNatalPlanetPositionsLongitude_Click(); }},
        {mnuNatalPlanetPositionsDecl_Lat, [this] { report_commands_.mnuNatalPlanetPositionsDecl_Lat_Click(); }},
        {mnuNatalPlanetPositionsLongitude_SIDEREAL, [this] { report_commands_.mnuNatalPlanetPositionsLongitude_SIDEREAL_Click(); }},
        {mnuNatalHouses, [this] { report_commands_.mnuNatalHouses_Click(); }},
        {mnuPreviousStartDate, [this] { mnuPreviousStartDate_Click(); }},
        {mnuNextStartDate, [this] { mnuNextStartDate_Click(); }},
        {mnuPreviousEndDate, [this] { mnuPreviousEndDate_Click(); }},
        {mnuNextEndDate, [this] { mnuNextEndDate_Click(); }},
        {mnuPreviousMonth, [this] { mnuPreviousMonth_Click(); }},
        {mnuNextMonth, [this] { mnuNextMonth_Click(); }},
        {mnuConvertLocalBirthTime, [this] { mnuConvertLocalBirthTime_Click(); }},
        {mnuUseQuillDisplaySettings, [this] { mnuUseQuillDisplaySettings_Click(); }},
        {mnuUseLunettaDisplaySettings, [this] { mnuUseLunettaDisplaySettings_Click(); }},
        {mnuViewTimeline, [this] { timeline_command_.mnuViewTimeline_Click(); }},
        {mnuHelp, [this] { mnuHelp_Click(); }},
    };
    for (const auto& [action, command] : actions) connect(action, &QAction::triggered, this, command);
}

// Reading order, column by column and each from the top: the dates and zone with the degree run
// under them, the main results with the natal data and the copy under them, then the columns of
// ticks and what lies below them. A group of ticks is one stop (TickGroup), as the mode buttons
// are by the toolkit's rule for exclusive buttons.
void frmTavrolin::set_tab_order() {
    std::vector<QCheckBox*> aspects(chkAspects.begin(), chkAspects.end());
    std::vector<QCheckBox*> p1 = {chkP1Planets_G_or_H};
    p1.insert(p1.end(), chkP1Planets.begin(), chkP1Planets.end());
    std::vector<QCheckBox*> p2 = {chkP2Planets_G_or_H};
    p2.insert(p2.end(), chkP2Planets.begin(), chkP2Planets.end());
    p2.insert(p2.end(), chkP2Angles.begin(), chkP2Angles.end());
    std::vector<QCheckBox*> events = {chkEvents[0], chkEvents[1], chkEvents[2], chkEvents[3], chkEvents[4], chkHouseIngresses};
    std::vector<QCheckBox*> options = {chkApparentPos, chkUse_ET, chkHelio, chkSortOutput, chkIgnoreDups};

    std::vector<QWidget*> order = {txtStartdate, txtEndDate, txtTZ, txtResults[0], txtZodiacDegree, cmdCalculate_T_to_Point};
    order.insert(order.end(), events.begin(), events.end());
    for (QWidget* w : std::initializer_list<QWidget*>{txtResults[1], cmdTavrolin, txtNatalDate, cmdOpen, txtNatalTime, cmdSave,
                                                      txtBirthPlace, txtLatitude, txtLongitude, cmdCopy_to_Excel, chkDateOnly})
        order.push_back(w);
    order.insert(order.end(), aspects.begin(), aspects.end());
    order.push_back(txtUserDefinedAngle);
    order.insert(order.end(), p1.begin(), p1.end());
    order.insert(order.end(), p2.begin(), p2.end());
    order.insert(order.end(), options.begin(), options.end());
    order.push_back(txtYearsBack);
    order.insert(order.end(), optNatal_Transit_Progressed.begin(), optNatal_Transit_Progressed.end());
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
    for (auto* group : {&events, &aspects, &p1, &p2, &options}) new TickGroup(this, *group);
}

// Return in an input box runs its calculation, Ctrl+Return the aspects calculation from anywhere.
void frmTavrolin::connect_keys() {
    for (QLineEdit* box : {txtStartdate, txtEndDate, txtTZ, txtNatalDate, txtNatalTime, txtYearsBack, txtUserDefinedAngle,
                           txtLatitude, txtLongitude})
        connect(box, &QLineEdit::returnPressed, this, &frmTavrolin::cmdTavrolin_Click);
    connect(txtZodiacDegree, &QLineEdit::returnPressed, this, &frmTavrolin::cmdCalculate_T_to_Point_Click);
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &frmTavrolin::cmdTavrolin_Click);
    }
}

void frmTavrolin::resize_to_twips() {
    const int chrome = menuBar()->sizeHint().height() +
                       std::max(statusBar()->sizeHint().height(), statusBar()->minimumHeight());
    QSize size(twips_to_px_x(window_width_twips_), twips_to_px_y(canvas_height_twips_) + chrome);
    // On a screen too small for the layout the window is fitted to the screen and its controls
    // scroll, rather than reaching past the screen's edges where nothing could get at them.
    if (const QScreen* s = screen()) {
        QSize frame = frameGeometry().size() - geometry().size();
        if (frame.isEmpty()) frame = QSize(8, 32);  // before the window manager has framed it
        const QSize room = s->availableGeometry().size() - frame;
        size = size.boundedTo(room);
    }
    resize(size);
    // Also when the window keeps its size and the layout changed (the wide one).
    grow_to_client_area();
}

QSize frmTavrolin::screen_size_twips() const {
    if (setup_.screen_size_twips) return *setup_.screen_size_twips;
    const QScreen* s = screen();
    if (s == nullptr) return QSize();
    const QRect g = s->geometry();
    return QSize(static_cast<int>(std::lround(g.width() * 1440.0 / s->logicalDotsPerInchX())),
                 static_cast<int>(std::lround(g.height() * 1440.0 / s->logicalDotsPerInchY())));
}

void frmTavrolin::Form_Load() {
    // The toolkit has set the process's locale from the environment. The engine reads and writes
    // numbers with the C library, and its texts and files always use "." as the decimal point.
    std::setlocale(LC_NUMERIC, "C");

    tavrolin::set_ephemeris_search_path(places_.ephemeris_path);
    tavrolin::set_calc_module_path(places_.calc_module);

    date_order_ = setup_.date_order ? *setup_.date_order : tavrolin::GetRegionalDateOrder();

    tavrolin::ControlValues cv = control_values();
    // The INI gives the boxes and the set-up of the last session; what it lacks (an older
    // copy's file, or none) keeps the initial state the controls were built with.
    tavrolin::LoadINIFile(places_.config_folder, cv);
    apply_control_values(cv);
    set_date_tooltips();

    resize_to_twips();
    show();
    place_on_screen();
    if (screen_size_twips().width() > wide_screen_threshold) apply_wide_screen_layout();
    txtStartdate->setFocus(Qt::OtherFocusReason);
}

void frmTavrolin::place_on_screen() {
    const QScreen* s = screen();
    const QRect g = s != nullptr ? s->geometry() : QRect();
    const int screen_height = twips_to_px_y(screen_size_twips().height());
    // Centred vertically, but never with the title bar above the screen, where it could not be
    // grabbed.
    const int top = std::max(0, (screen_height - frameGeometry().height()) / 2);
    move(g.left(), g.top() + top);
}

void frmTavrolin::apply_wide_screen_layout() {
    window_width_twips_ = narrow_window_width + wide_screen_shift;
    for (QWidget* w : {static_cast<QWidget*>(lblAspects), static_cast<QWidget*>(lblP1Planets),
                       static_cast<QWidget*>(lblP2Planets)})
        move_left_twips(w, wide_screen_shift);
    for (auto* box : chkAspects) move_left_twips(box, wide_screen_shift);
    set_left_twips(txtUserDefinedAngle, twips_.value(chkAspects[0]).left());
    for (auto* option : optNatal_Transit_Progressed) move_left_twips(option, wide_screen_shift);
    for (auto* box : chkP1Planets) move_left_twips(box, wide_screen_shift);
    for (auto* box : chkP2Planets) move_left_twips(box, wide_screen_shift);
    for (auto* box : chkP2Angles) move_left_twips(box, wide_screen_shift);
    set_width_twips(txtResults[1], twips_.value(txtResults[1]).width() + wide_screen_shift);
    for (QWidget* w : std::initializer_list<QWidget*>{chkHelio, chkUse_ET, chkSortOutput, chkApparentPos, chkIgnoreDups,
                                                      cmdCopy_to_Excel, chkDateOnly, cmdOpen, cmdSave, lblNatalDate,
                                                      txtNatalDate, lblNatalTime, txtNatalTime, lblYearsBack,
                                                      txtYearsBack, lblBirthPlace, txtBirthPlace, lblLatitude,
                                                      txtLatitude, lblLongitude, txtLongitude})
        move_left_twips(w, wide_screen_shift);
    move_left_twips(cmdTavrolin, wide_screen_shift / 2);
    resize_to_twips();
}

void frmTavrolin::closeEvent(QCloseEvent* event) {
    // The help window's unsaved edits first: its question may keep both windows open.
    if (help_window_ && !help_window_->close()) {
        event->ignore();
        return;
    }
    if (!Form_Unload()) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

bool frmTavrolin::Form_Unload() {
    for (;;) {
        std::string error;
        if (tavrolin::prepare_folder(places_, places_.config_folder, &error) &&
            tavrolin::SaveINIFile(places_.config_folder, control_values(), &error)) {
            ini_save_error_.clear();
            return true;
        }
        ini_save_error_ = QString::fromLocal8Bit(error.c_str());
        std::fprintf(stderr, "tavrolin: %s\n", error.c_str());
        statusBar()->showMessage(ini_save_error_);
        // A desktop user never sees the line on standard error: ask before the values are lost.
        const std::optional<int> choice =
            file_dialogs().ask(this, ini_save_failed_title,
                               ini_save_error_ + "\n\nThe dates, the natal data and the time zone will not be there "
                                                 "when the program starts again.",
                               {ini_retry_answer, ini_close_answer});
        if (choice == 0) continue;
        // Cancel keeps the window open, with its values.
        return choice == 1;
    }
}

void frmTavrolin::cmdTavrolin_Click() {
    setWindowTitle("Tavrolin");
    QElapsedTimer timer;
    timer.start();
    if (!Start_Calcs(1)) {
        // Nothing was computed: no time to show, and the listing is the previous run's.
        setWindowTitle(previous_results_title);
        return;
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    setWindowTitle(QString::fromStdString("Tavrolin - " + tavrolin::format_fixed(seconds, 2) + " secs."));
    txtResults[1]->setFocus();
}

void frmTavrolin::mark_previous_results(int calc_kind, bool previous) {
    QPlainTextEdit* box = txtResults[static_cast<std::size_t>(calc_kind)];
    box->setProperty("previousResults", previous);
    // Greyed text and a tooltip: the listing stays to be read and copied, but does not pass for
    // the answer to the inputs now in the boxes.
    QPalette palette = box->palette();
    const QPalette normal = QApplication::palette(box);
    palette.setColor(QPalette::Active, QPalette::Text,
                     previous ? normal.color(QPalette::Disabled, QPalette::Text) : normal.color(QPalette::Active, QPalette::Text));
    palette.setColor(QPalette::Inactive, QPalette::Text,
                     previous ? normal.color(QPalette::Disabled, QPalette::Text) : normal.color(QPalette::Inactive, QPalette::Text));
    box->setPalette(palette);
    box->setToolTip(previous && !box->document()->isEmpty() ? QString(previous_results_tooltip) : QString());
}

void frmTavrolin::cmdCalculate_T_to_Point_Click() { Start_Calcs(0); }

bool frmTavrolin::Start_Calcs(int calc_kind) {
    engine_.cv = control_values();
    QPlainTextEdit* box = txtResults[static_cast<std::size_t>(calc_kind)];
    // As every box, the place's stops only a run that reads it: the aspects run to a ticked
    // angle, or with house ingresses in a natal mode.
    const tavrolin::ControlValues& cv = engine_.cv;
    const bool natal_mode = cv.mode != 1 && cv.mode >= 0;
    const bool reads_place = calc_kind == 1 && ((cv.angles_used() && (cv.p2_asc != 0 || cv.p2_mc != 0)) ||
                                                (cv.house_ingresses && natal_mode));
    if (const QString problem = reads_place ? place_problem(cv) : QString(); !problem.isEmpty()) {
        mark_previous_results(calc_kind, true);
        statusBar()->showMessage(problem);
        return false;
    }
    bool busy = false;
    // The calculation runs on a thread of its own, so that the window repaints and shows its
    // progress with a Cancel button.
    auto* progress = findChild<tavrolin::CalcProgress*>("calcProgress");
    if (!progress) progress = new tavrolin::CalcProgress(this);
    tavrolin::CommandOutcome outcome;
    progress->run(engine_.eph.api(), [&](tavrolin::ScanControl& fast) {
        // The box is emptied only once the dates are found good: a bad date leaves it as it was.
        outcome = tavrolin::run_calculation_command(
            engine_, calc_kind,
            [&] {
                progress->on_window_thread([&] {
                    statusBar()->clearMessage();
                    QApplication::setOverrideCursor(Qt::WaitCursor);
                    busy = true;
                    box->clear();
                    box->repaint();
                });
            },
            &fast);
    });
    if (outcome.ran) {
        // A listing of a million rows is tens of megabytes: its 8-bit text is gone before the
        // box builds its document from the wide one.
        const QString text = QString::fromStdString(tavrolin::to_platform_line_ends(std::move(outcome.text)));
        box->setPlainText(text);
        mark_previous_results(calc_kind, false);
        mnuFileExportResults->setEnabled(true);
        timeline_command_.timeline_after_run();
        // What the listing says at its end must not go unseen: a cancelled run and the bodies
        // that could not be computed are named in the status bar too.
        QStringList notes;
        if (engine_.last_outcome.cancelled) notes << QString::fromStdString(tavrolin::cancelled_note(engine_));
        const QString missing = QString::fromStdString(tavrolin::not_computed_summary(engine_.eph));
        if (!missing.isEmpty()) notes << missing;
        if (!outcome.houses_note.empty()) notes << QString::fromStdString(outcome.houses_note) + ".";
        show_status(notes.join(' '));
    } else {
        mark_previous_results(calc_kind, true);
        statusBar()->showMessage(QString::fromStdString(outcome.invalid_date));
    }
    if (busy) QApplication::restoreOverrideCursor();
    return outcome.ran;
}

void frmTavrolin::optNatal_Transit_Progressed_Click(int Index) {
    // Transits to transits would find every pair twice (P1-P2 and P2-P1).
    chkIgnoreDups->setChecked(Index == 1);
}

void frmTavrolin::txtUserDefinedAngle_Change() {
    chkAspects[user_defined_aspect]->setText(txtUserDefinedAngle->text());
}

void frmTavrolin::txtResults_DblClick(int Index) { txtResults[static_cast<std::size_t>(Index)]->selectAll(); }

void frmTavrolin::set_mode_value(int index, bool value) {
    if (index < 0 || index >= static_cast<int>(optNatal_Transit_Progressed.size())) return;
    QRadioButton* option = optNatal_Transit_Progressed[static_cast<std::size_t>(index)];
    if (value) {
        if (option->isChecked()) return;
        option->setChecked(true);
        optNatal_Transit_Progressed_Click(index);
    } else if (option->isChecked()) {
        mode_group->setExclusive(false);
        option->setChecked(false);
        mode_group->setExclusive(true);
    }
}

tavrolin::ControlValues frmTavrolin::control_values() const {
    tavrolin::ControlValues cv;
    cv.date_order = date_order_;
    cv.start_date = to_std(txtStartdate->text());
    cv.end_date = to_std(txtEndDate->text());
    cv.tz = to_std(txtTZ->text());
    cv.zodiac_degree = to_std(txtZodiacDegree->text());
    cv.natal_date = to_std(txtNatalDate->text());
    cv.natal_time = to_std(txtNatalTime->text());
    cv.years_back = to_std(txtYearsBack->text());
    cv.user_defined_angle = to_std(txtUserDefinedAngle->text());
    for (std::size_t b = 0; b < chkP1Planets.size(); ++b) {
        cv.p1_planets[b] = tick(chkP1Planets[b]);
        cv.p2_planets[b] = tick(chkP2Planets[b]);
    }
    for (std::size_t a = 0; a < chkAspects.size(); ++a) cv.aspects[a] = tick(chkAspects[a]);
    cv.p1_helio = tick(chkP1Planets_G_or_H);
    cv.p2_helio = tick(chkP2Planets_G_or_H);
    cv.helio = tick(chkHelio);
    cv.apparent_pos = tick(chkApparentPos);
    cv.use_et = tick(chkUse_ET);
    cv.sort_output = tick(chkSortOutput);
    cv.ignore_dups = tick(chkIgnoreDups);
    cv.date_only = tick(chkDateOnly);
    cv.mode = mode_group->checkedId();
    // The Quill style wins when both entries are checked.
    cv.style = mnuUseQuillDisplaySettings->isChecked()     ? tavrolin::ListingStyle::Quill
               : mnuUseLunettaDisplaySettings->isChecked() ? tavrolin::ListingStyle::Lunetta
                                                           : tavrolin::ListingStyle::Default;
    cv.dates_in_life = mnuShowDatesInLife->isChecked() ? 1 : 0;
    cv.place_name = to_std(txtBirthPlace->text());
    cv.latitude = to_std(txtLatitude->text());
    cv.longitude = to_std(txtLongitude->text());
    for (std::size_t i = 0; i < mnuHouseSystems.size(); ++i)
        if (mnuHouseSystems[i]->isChecked()) cv.house_system = std::string(1, house_system_letters[i]);
    cv.p2_asc = tick(chkP2Angles[0]);
    cv.p2_mc = tick(chkP2Angles[1]);
    for (std::size_t i = 0; i < chkEvents.size(); ++i) *cv.event_ticks()[i] = chkEvents[i]->isChecked();
    cv.house_ingresses = chkHouseIngresses->isChecked();
    return cv;
}

void frmTavrolin::apply_control_values(const tavrolin::ControlValues& cv) {
    txtStartdate->setText(to_q(cut_to_max_length(cv.start_date, max_len_start_date)));
    txtEndDate->setText(to_q(cut_to_max_length(cv.end_date, max_len_end_date)));
    txtTZ->setText(to_q(cut_tz_text(cv.tz)));
    txtZodiacDegree->setText(to_q(cut_to_max_length(cv.zodiac_degree, max_len_zodiac_degree)));
    txtNatalDate->setText(to_q(cv.natal_date));
    txtNatalTime->setText(to_q(cut_to_max_length(cv.natal_time, max_len_natal_time)));
    txtYearsBack->setText(to_q(cut_to_max_length(cv.years_back, max_len_years_back)));
    txtUserDefinedAngle->setText(to_q(cv.user_defined_angle));
    for (std::size_t b = 0; b < chkP1Planets.size(); ++b) {
        chkP1Planets[b]->setChecked(cv.p1_planets[b] == 1);
        chkP2Planets[b]->setChecked(cv.p2_planets[b] == 1);
    }
    for (std::size_t a = 0; a < chkAspects.size(); ++a) chkAspects[a]->setChecked(cv.aspects[a] == 1);
    chkP1Planets_G_or_H->setChecked(cv.p1_helio == 1);
    chkP2Planets_G_or_H->setChecked(cv.p2_helio == 1);
    chkHelio->setChecked(cv.helio == 1);
    chkApparentPos->setChecked(cv.apparent_pos == 1);
    chkUse_ET->setChecked(cv.use_et == 1);
    chkSortOutput->setChecked(cv.sort_output == 1);
    chkDateOnly->setChecked(cv.date_only == 1);
    mode_group->setExclusive(false);
    for (std::size_t m = 0; m < optNatal_Transit_Progressed.size(); ++m)
        optNatal_Transit_Progressed[m]->setChecked(static_cast<int>(m) == cv.mode);
    mode_group->setExclusive(true);
    chkIgnoreDups->setChecked(cv.ignore_dups == 1);
    mnuUseQuillDisplaySettings->setChecked(cv.style == tavrolin::ListingStyle::Quill);
    mnuUseLunettaDisplaySettings->setChecked(cv.style == tavrolin::ListingStyle::Lunetta);
    mnuShowDatesInLife->setChecked(cv.dates_in_life == 1);
    txtBirthPlace->setText(to_q(cut_to_max_length(cv.place_name, max_len_place_name)));
    txtLatitude->setText(to_q(cut_to_max_length(cv.latitude, max_len_coordinate)));
    txtLongitude->setText(to_q(cut_to_max_length(cv.longitude, max_len_coordinate)));
    chosen_place_zone_.clear();
    // A letter of no system (a damaged file) leaves the default checked, as a file without one.
    const auto system = tavrolin::house_system_from_letter(cv.house_system.size() == 1 ? cv.house_system[0] : '?');
    const auto at = house_system_letters.find(static_cast<char>(system.value_or(tavrolin::default_house_system)));
    mnuHouseSystems[at]->setChecked(true);
    chkP2Angles[0]->setChecked(cv.p2_asc == 1);
    chkP2Angles[1]->setChecked(cv.p2_mc == 1);
    const auto events = cv.event_tick_values();
    for (std::size_t i = 0; i < chkEvents.size(); ++i) chkEvents[i]->setChecked(events[i]);
    chkHouseIngresses->setChecked(cv.house_ingresses);
    update_angle_ticks();
}

void frmTavrolin::update_angle_ticks() {
    tavrolin::ControlValues cv;
    cv.latitude = to_std(txtLatitude->text());
    cv.longitude = to_std(txtLongitude->text());
    cv.mode = mode_group->checkedId();
    cv.p2_helio = tick(chkP2Planets_G_or_H);
    const bool natal_mode = cv.mode != 1 && cv.mode >= 0;
    QString why;
    if (!cv.has_place())
        why = "The Ascendant and the MC need a birth place: type its latitude and longitude";
    else if (!natal_mode)
        why = "The Ascendant and the MC are natal points: they are not used in transit to transit";
    else if (cv.p2_helio == 1)
        why = "The Ascendant and the MC belong to the birth place: they are not used with Helio P2 planets";
    for (QCheckBox* box : chkP2Angles) {
        box->setEnabled(cv.angles_used());
        box->setToolTip(why);
    }
    // House ingresses cross the natal cusps: they need the place and a natal mode too.
    const bool houses = cv.has_place() && natal_mode;
    chkHouseIngresses->setEnabled(houses);
    chkHouseIngresses->setToolTip(houses ? QString()
                                  : !cv.has_place() ? "House ingresses need a birth place: type its latitude and longitude"
                                                    : "House ingresses cross the natal houses: not used in transit to transit");
}

QString frmTavrolin::place_problem(const tavrolin::ControlValues& cv) const {
    if (!cv.has_place()) return {};
    std::string reason;
    if (!tavrolin::parse_coordinate(cv.latitude, tavrolin::CoordinateAxis::Latitude, &reason))
        return to_q(tavrolin::refusal_message(tavrolin::InputField::latitude, cv.latitude, reason));
    if (!tavrolin::parse_coordinate(cv.longitude, tavrolin::CoordinateAxis::Longitude, &reason))
        return to_q(tavrolin::refusal_message(tavrolin::InputField::longitude, cv.longitude, reason));
    return {};
}

void frmTavrolin::place_chosen(const tavrolin::AtlasPlace& place) {
    txtBirthPlace->setText(to_q(cut_to_max_length(place.display_name(), max_len_place_name)));
    txtLatitude->setText(to_q(tavrolin::coordinate_text(place.latitude, tavrolin::CoordinateAxis::Latitude)));
    txtLongitude->setText(to_q(tavrolin::coordinate_text(place.longitude, tavrolin::CoordinateAxis::Longitude)));
    chosen_place_zone_ = to_q(place.zone);
    if (place.zone.empty() || txtTZ->text().trimmed() == chosen_place_zone_) return;
    const QString text = "Set the time zone box to " + chosen_place_zone_ + ", the zone of " + to_q(place.name) + "?" +
                         (txtTZ->text().trimmed().isEmpty() ? QString() : "\n\nIt holds " + txtTZ->text().trimmed() + " now.");
    if (file_dialogs().ask(this, place_zone_title, text, {place_zone_answer, keep_zone_answer}) == 0)
        txtTZ->setText(chosen_place_zone_);
}

void frmTavrolin::mnuUseQuillDisplaySettings_Click() {
    if (mnuUseQuillDisplaySettings->isChecked()) mnuUseLunettaDisplaySettings->setChecked(false);
}

void frmTavrolin::mnuUseLunettaDisplaySettings_Click() {
    if (mnuUseLunettaDisplaySettings->isChecked()) mnuUseQuillDisplaySettings->setChecked(false);
}

// Adjust Dates.

void frmTavrolin::mnuPreviousStartDate_Click() { adjust_dates(tavrolin::DateCommand::PreviousStartDate); }
void frmTavrolin::mnuNextStartDate_Click() { adjust_dates(tavrolin::DateCommand::NextStartDate); }
void frmTavrolin::mnuPreviousEndDate_Click() { adjust_dates(tavrolin::DateCommand::PreviousEndDate); }
void frmTavrolin::mnuNextEndDate_Click() { adjust_dates(tavrolin::DateCommand::NextEndDate); }
void frmTavrolin::mnuPreviousMonth_Click() { adjust_dates(tavrolin::DateCommand::PreviousMonth); }
void frmTavrolin::mnuNextMonth_Click() { adjust_dates(tavrolin::DateCommand::NextMonth); }

void frmTavrolin::adjust_dates(tavrolin::DateCommand command) {
    tavrolin::ControlValues cv;
    cv.date_order = DateOrder();
    cv.start_date = txtStartdate->text().toStdString();
    cv.end_date = txtEndDate->text().toStdString();
    std::string problem;
    if (!tavrolin::run_date_command(command, cv, &problem)) {
        // The boxes keep their texts; the status bar says which one could not be read.
        statusBar()->showMessage(QString::fromStdString(problem));
        return;
    }
    statusBar()->clearMessage();
    const QString start = QString::fromStdString(cv.start_date);
    const QString end = QString::fromStdString(cv.end_date);
    if (txtStartdate->text() != start) txtStartdate->setText(start);
    if (txtEndDate->text() != end) txtEndDate->setText(end);
}

// Local birth time.

void frmTavrolin::mnuConvertLocalBirthTime_Click() {
    // The zone of a place chosen from the atlas is the zone of the birth; else the box's, if a name.
    frmBirthTime dialog(DateOrder(), txtNatalDate->text(), chosen_place_zone_.isEmpty() ? txtTZ->text() : chosen_place_zone_,
                        this);
    dialog.adjustSize();
    dialog.move(geometry().center() - dialog.rect().center());
    tavrolin::keep_on_screen(dialog, *this);
    if (dialog.exec() == QDialog::Accepted && dialog.chosen()) apply_birth_time(*dialog.chosen());
}

void frmTavrolin::apply_birth_time(const tavrolin::UniversalTime& gmt) {
    txtNatalTime->setText(QString::fromStdString(gmt.natal_time()));
    // The Greenwich date goes with the Greenwich time: written when the day changed, or when the
    // dialog was given another date than the box holds.
    if (tavrolin::parse_date(txtNatalDate->text().toStdString(), DateOrder()) != gmt.date)
        txtNatalDate->setText(QString::fromStdString(tavrolin::format_date(gmt.date, DateOrder())));
    statusBar()->showMessage(QString::fromStdString("Natal time " + gmt.natal_time() + " GMT (" + gmt.offset_text() + ")"));
}

// Help.

frmHelpFiles* frmTavrolin::help_window() const { return help_window_; }

void frmTavrolin::mnuHelp_Click() {
    // An open help window with unsaved edits asks first; kept, it comes forward instead.
    if (help_window_ && !help_window_->close()) {
        help_window_->raise();
        help_window_->activateWindow();
        return;
    }
    help_window_ = new frmHelpFiles(places(), file_dialogs(), this);
    // Near the main window, wholly on its screen.
    help_window_->move(geometry().topLeft() + QPoint(40, 40));
    help_window_->show();
    tavrolin::keep_on_screen(*help_window_, *this);
}

void frmTavrolin::set_date_tooltips() {
    // A first-time user learns the order of the session's dates here.
    const QString form = date_form_hint(DateOrder());
    for (QLineEdit* box : {txtStartdate, txtEndDate, txtNatalDate}) box->setToolTip(form);
}

// What the command objects ask of the window.

tavrolin::FileDialogs& frmTavrolin::file_dialogs() {
    if (!setup_.file_dialogs) setup_.file_dialogs = std::make_shared<tavrolin::ToolkitFileDialogs>();
    return *setup_.file_dialogs;
}

void frmTavrolin::set_natal_data(const tavrolin::ControlValues& cv) {
    txtNatalDate->setText(to_q(cv.natal_date));
    txtNatalTime->setText(to_q(cv.natal_time));
    txtTZ->setText(to_q(cv.tz));
    txtBirthPlace->setText(to_q(cut_to_max_length(cv.place_name, max_len_place_name)));
    txtLatitude->setText(to_q(cut_to_max_length(cv.latitude, max_len_coordinate)));
    txtLongitude->setText(to_q(cut_to_max_length(cv.longitude, max_len_coordinate)));
    chosen_place_zone_.clear();
}

void frmTavrolin::show_status(const QString& message) {
    if (message.isEmpty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(message);
}

bool frmTavrolin::calculation_running() const {
    const auto* progress = findChild<tavrolin::CalcProgress*>("calcProgress");
    return progress != nullptr && progress->running();
}

void frmTavrolin::select_listing_line(int box_index, int line) {
    QPlainTextEdit* box = txtResults[box_index == 0 ? 0 : 1];
    const QTextBlock block = box->document()->findBlockByNumber(line);
    if (!block.isValid()) return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    box->centerCursor();
}

QString frmTavrolin::results_text(int box) const { return txtResults[box == 0 ? 0 : 1]->toPlainText(); }

void frmTavrolin::with_commands_disabled(const std::function<void()>& work) {
    const CommandsDisabled busy({cmdTavrolin, cmdCalculate_T_to_Point, cmdCopy_to_Excel},
                                {mnuNatalPlanetPositionsLongitude, mnuNatalPlanetPositionsDecl_Lat,
                                 mnuNatalPlanetPositionsLongitude_SIDEREAL, mnuNatalHouses});
    work();
}
