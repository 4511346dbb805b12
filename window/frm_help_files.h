// The help window: the help text help.txt in an editable box, with
// buttons that load another text file into the box and save the box to a file. Opened afresh by
// the main window's Help command; destroyed when closed.
#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

#include "files/file_places.h"

class QPlainTextEdit;
class QPushButton;

namespace tavrolin {
class FileDialogs;
}

class frmHelpFiles : public QWidget {
    Q_OBJECT

public:
    // Design size of the client area, in twips.
    static constexpr int design_width = 12660;
    static constexpr int design_height = 6180;
    // The box keeps its left and top edge and fills the window to the right of the buttons: the
    // window's outer size less these margins (twips).
    static constexpr int box_left = 1440;
    static constexpr int box_top = 60;
    static constexpr int width_margin = 1645;
    static constexpr int height_margin = 580;

    // Opens the user's own help text when there is one, else the shipped one. The window is a
    // separate top-level window; main_window gets the focus back when it closes, and owns it.
    frmHelpFiles(const tavrolin::FilePlaces& places, tavrolin::FileDialogs& dialogs, QWidget* main_window);

    // The box's size for an outer window size, both in twips; never below zero.
    static QSize box_size_for(QSize window_twips);
    // The box's size in twips, as last set.
    QSize box_size_twips() const { return box_twips_; }

    // The question on closing with unsaved edits, and its answers (the third is Cancel).
    static constexpr const char* unsaved_title = "Help";
    static constexpr const char* unsaved_question = "The help text has changes that have not been saved. Save them?";
    static constexpr const char* save_answer = "Save";
    static constexpr const char* discard_answer = "Discard";

    // Shows the file dialog; on a choice sets help_file_path. Returns whether the user cancelled.
    bool GetHELPFileFilename(int load_save);

    // Full path of the text file in use.
    QString help_file_path;

    QPushButton* cmdLoadFile = nullptr;
    QPushButton* cmdSaveAsFile = nullptr;
    QPlainTextEdit* RichText1 = nullptr;

public slots:
    // "Edit/Load help file": a text file into the box.
    void cmdLoadFile_Click();
    // "Save help file": the box into a file.
    void cmdSaveAsFile_Click();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    // The save dialog, then the box into the chosen file; false when cancelled or not written.
    bool save_box();
    // Reads a text file into the box; on failure the box is left as it was and `error` says why.
    bool load_into_box(const QString& path, QString* error);
    void place(QWidget* control, int left, int top, int width, int height);
    int to_px_x(int twips) const;
    int to_px_y(int twips) const;

    tavrolin::FilePlaces places_;
    tavrolin::FileDialogs& dialogs_;
    QWidget* main_window_;
    double dpi_x_ = 96.0;
    double dpi_y_ = 96.0;
    QSize box_twips_;
    // A file that was not UTF-8 came from an 8-bit system; it is saved back in its own encoding
    // as long as every character fits.
    bool loaded_as_latin1_ = false;
};
