#include "window/frm_birth_time.h"

#include <QCompleter>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

frmBirthTime::frmBirthTime(int date_order, const QString& natal_date, const QString& time_zone, QWidget* parent)
    : QDialog(parent), date_order_(date_order) {
    setObjectName("frmBirthTime");
    setWindowTitle("Convert local birth time");
    auto* form = new QFormLayout(this);
    txtBirthDate = new QLineEdit(natal_date, this);
    txtBirthDate->setObjectName("txtBirthDate");
    txtBirthTime = new QLineEdit(this);
    txtBirthTime->setObjectName("txtBirthTime");
    txtBirthTime->setPlaceholderText("hh:mm");
    txtBirthZone = new QLineEdit(tavrolin::is_zone_name(time_zone.toStdString()) ? time_zone.trimmed() : QString(), this);
    txtBirthZone->setObjectName("txtBirthZone");
    txtBirthZone->setPlaceholderText("Europe/London");
    QStringList names;
    for (const auto& name : tavrolin::zone_names()) names << q(name);
    auto* completer = new QCompleter(names, txtBirthZone);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    txtBirthZone->setCompleter(completer);
    lblBirthOffset = new QLabel(this);
    lblBirthOffset->setObjectName("lblBirthOffset");
    form->addRow("Birth date:", txtBirthDate);
    form->addRow("Local time (hh:mm):", txtBirthTime);
    form->addRow("Time zone:", txtBirthZone);
    form->addRow("Offset:", lblBirthOffset);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    cmdOK = buttons->button(QDialogButtonBox::Ok);
    cmdOK->setObjectName("cmdOK");
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmBirthTime::cmdOK_Click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QLineEdit* box : {txtBirthDate, txtBirthTime, txtBirthZone})
        connect(box, &QLineEdit::textChanged, this, &frmBirthTime::show_offset);

    choose_repeated = [this](const std::vector<tavrolin::UniversalTime>& answers) {
        QMessageBox box(QMessageBox::Question, windowTitle(),
                        "This local time occurred twice (the clocks went back). Which one is meant?",
                        QMessageBox::Cancel, this);
        QAbstractButton* first = box.addButton("Earlier (" + q(answers[0].offset_text()) + ")", QMessageBox::AcceptRole);
        QAbstractButton* second = box.addButton("Later (" + q(answers[1].offset_text()) + ")", QMessageBox::AcceptRole);
        box.exec();
        return box.clickedButton() == first ? 0 : box.clickedButton() == second ? 1 : -1;
    };
    refuse = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
    show_offset();
}

std::optional<tavrolin::LocalTimeAnswer> frmBirthTime::answer() {
    const auto date = tavrolin::parse_date(txtBirthDate->text().trimmed().toStdString(), date_order_);
    const auto time = tavrolin::parse_hours_minutes(txtBirthTime->text().trimmed().toStdString());
    if (!date || !time || txtBirthZone->text().trimmed().isEmpty()) {
        lblBirthOffset->setText(!date ? "The birth date is not a date." : !time ? "Type the local time as hh:mm." : "Type a zone name.");
        return std::nullopt;
    }
    tavrolin::LocalTimeAnswer a = tavrolin::local_time_to_universal(txtBirthZone->text().toStdString(), *date, time->first, time->second);
    switch (a.kind) {
        case tavrolin::LocalTimeAnswer::Kind::no_zone:
            lblBirthOffset->setText("\"" + txtBirthZone->text().trimmed() + "\" " + q(a.problem) + ".");
            break;
        case tavrolin::LocalTimeAnswer::Kind::skipped:
            lblBirthOffset->setText("This local time did not occur: the clocks went forward over it.");
            break;
        case tavrolin::LocalTimeAnswer::Kind::off_calendar:
            lblBirthOffset->setText("The GMT date of this local time is outside the years 0100 to 9999.");
            break;
        case tavrolin::LocalTimeAnswer::Kind::repeated:
            lblBirthOffset->setText(q(a.answers[0].offset_text()) + " or " + q(a.answers[1].offset_text()));
            break;
        case tavrolin::LocalTimeAnswer::Kind::unique:
            lblBirthOffset->setText(q(a.answers[0].offset_text()));
            break;
    }
    return a;
}

void frmBirthTime::show_offset() { answer(); }

void frmBirthTime::cmdOK_Click() {
    const auto a = answer();
    if (!a || a->answers.empty()) {
        refuse(lblBirthOffset->text());
        return;
    }
    const int pick = a->kind == tavrolin::LocalTimeAnswer::Kind::repeated ? choose_repeated(a->answers) : 0;
    if (pick < 0) return;
    chosen_ = a->answers[static_cast<std::size_t>(pick)];
    accept();
}
