// The natal positions window: one report in a fixed-pitch text box. Created afresh by each natal
// report command of the main window and destroyed when closed.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QKeyEvent;
class QPlainTextEdit;

class frmNatalPos : public QWidget {
    Q_OBJECT

public:
    // Client area and box in twips; the box is a little larger than the client area, so that its
    // right and bottom edges (and the scroll bars) lie beyond the window's.
    static constexpr int client_width = 4185;
    static constexpr int client_height = 5505;
    static constexpr int box_width = 4310;
    static constexpr int box_height = 5910;
    // Distance of the window's top below the main window's top, in twips.
    static constexpr int top_offset = 340;

    // A separate top-level window owned by main_window, which gets the focus back on Escape.
    explicit frmNatalPos(QWidget* main_window);

    // Shows the report (platform line ends) in the box.
    void set_report(const QString& text);
    // Lines the window's right edge up with the main window's, `top_offset` below its top
    // (outer frames).
    void place_beside(const QWidget& main_window);

    QPlainTextEdit* RichText1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    // Escape gives the focus back to the main window and types nothing; true when the key is
    // taken.
    bool RichText1_KeyPress(const QKeyEvent& event);
    int to_px_x(int twips) const;
    int to_px_y(int twips) const;

    QPointer<QWidget> main_window_;
    double dpi_x_ = 96.0;
    double dpi_y_ = 96.0;
};
