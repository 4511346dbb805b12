// "Convert local birth time...": a birth date, a local time and a zone name of the tz database,
// turned into the Greenwich time that "Natal time (GMT)" takes, by the zone's historical rules.
#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <vector>

#include "engine/date_text.h"
#include "engine/time_zone.h"

class QLabel;
class QLineEdit;
class QPushButton;

class frmBirthTime : public QDialog {
    Q_OBJECT

public:
    // Opens with the natal date and, when the time zone box names a zone, that zone.
    frmBirthTime(int date_order, const QString& natal_date, const QString& time_zone, QWidget* parent);

    QLineEdit* txtBirthDate = nullptr;
    QLineEdit* txtBirthTime = nullptr;  // local, hh:mm
    QLineEdit* txtBirthZone = nullptr;
    QLabel* lblBirthOffset = nullptr;   // "BST, UT+1", or why there is no answer yet
    QPushButton* cmdOK = nullptr;

    // Asks which of the two moments of a repeated local time is meant: 0, 1, or -1 for neither.
    // Tests answer it themselves.
    std::function<int(const std::vector<tavrolin::UniversalTime>&)> choose_repeated;
    // Tells why OK cannot be taken (a local time that did not occur); tests collect it.
    std::function<void(const QString&)> refuse;

    // After OK: the Greenwich date and time.
    const std::optional<tavrolin::UniversalTime>& chosen() const { return chosen_; }

public slots:
    void cmdOK_Click();

private:
    // The answer for the texts as they stand; the label says it or what is missing.
    std::optional<tavrolin::LocalTimeAnswer> answer();
    void show_offset();

    int date_order_;
    std::optional<tavrolin::UniversalTime> chosen_;
};
