// The natal positions window: one report in a fixed-pitch text box. Created afresh by each natal
// report command of the main window and destroyed when closed.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QKeyEvent;
class QResizeEvent;
class QLabel;
class QPlainTextEdit;

class frmNatalPos : public QWidget {
    Q_OBJECT

public:
    // Smallest client area in twips. The box fills the client area, which grows to the report:
    // where the fixed-pitch face is a substitute with wider or taller characters, a fixed size
    // would cut off the last digits and the last bodies.
    static constexpr int client_width = 4185;
    static constexpr int client_height = 5505;
    // Distance of the window's top below the main window's top, in twips.
    static constexpr int top_offset = 340;

    // A separate top-level window owned by main_window, which gets the focus back on Escape.
    explicit frmNatalPos(QWidget* main_window);

    // The window's title, and the line above the report that names the natal data.
    void set_heading(const QString& title, const QString& heading);
    // Shows the report (platform line ends) in the box, the window large enough for all of it.
    void set_report(const QString& text);
    // Lines the window's right edge up with the main window's, `top_offset` below its top
    // (outer frames).
    void place_beside(const QWidget& main_window);

    QPlainTextEdit* RichText1 = nullptr;
    QLabel* lblHeading = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_Load();
    // Escape gives the focus back to the main window and types nothing; true when the key is
    // taken.
    bool RichText1_KeyPress(const QKeyEvent& event);
    int heading_height() const;
    int to_px_x(int twips) const;
    int to_px_y(int twips) const;

    QPointer<QWidget> main_window_;
    double dpi_x_ = 96.0;
    double dpi_y_ = 96.0;
};
