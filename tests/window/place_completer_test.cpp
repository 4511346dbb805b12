// The birth place box's completion from the atlas: what typing offers, what choosing a place hands on,
// odd input, and that the atlas is read on first use only.
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QVBoxLayout>
#include <QWidget>

#include <memory>

#include "window/place_completer.h"

using tavrolin::AtlasPlace;
using tavrolin::PlaceCompleter;
using State = PlaceCompleter::AtlasState;

namespace {

// The first read of the atlas, in a Debug build on a busy machine.
constexpr int load_timeout_ms = 20000;

// A shown, active window with another box before the place box, which has the focus at first.
struct Form {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QLineEdit* box = nullptr;
    PlaceCompleter* completion = nullptr;

    Form() {
        auto* layout = new QVBoxLayout(window.get());
        layout->addWidget(new QLineEdit);
        auto* place = new QLineEdit;
        place->setObjectName("txtBirthPlace");
        layout->addWidget(place);
        completion = new PlaceCompleter(place);
        window->show();
        window->activateWindow();
        box = window->findChild<QLineEdit*>("txtBirthPlace");
    }
    QAbstractItemView* list() const { return completion->completer()->popup(); }
    QStringList shown() const {
        QStringList rows;
        const auto* model = list()->model();
        for (int r = 0; r < model->rowCount(); ++r) rows << model->index(r, 0).data().toString();
        return rows;
    }
};

}  // namespace

class PlaceCompleterTest : public QObject {
    Q_OBJECT

private slots:
    void atlasIsReadOnFirstFocusOnly() {
        Form f;
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QTest::qWait(100);
        QCOMPARE(f.completion->atlas_state(), State::NotLoaded);
        QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
        QVERIFY(!f.list()->isVisible());

        f.box->setFocus();
        if (!tavrolin::atlas_built()) {
            QCOMPARE(f.completion->atlas_state(), State::Unavailable);
            return;
        }
        QCOMPARE(f.completion->atlas_state(), State::Loading);
        QTRY_COMPARE_WITH_TIMEOUT(f.completion->atlas_state(), State::Ready, load_timeout_ms);
        QVERIFY(!f.list()->isVisible());  // nothing typed, nothing offered
    }

    void typedNamesOfferPlacesAndChoosingOneHandsItOn() {
        if (!tavrolin::atlas_built()) QSKIP("built without the atlas");
        enum class Choice { Enter, DownDownEnter, Click };
        struct Case {
            QString typed;
            Choice choice;
            QString first;  // the first row offered begins so
            QString chosen;
            const char* zone;
            double latitude, longitude;
        };
        const Case cases[] = {
            {"Pari", Choice::Enter, "Paris, ", "Paris, Île-de-France Region, France", "Europe/Paris", 48.8534, 2.3488},
            {"tromso", Choice::Click, "Tromsø, ", "Tromsø, Troms og Finnmark, Norway", "Europe/Oslo", 69.6496, 18.957},
            {"springf", Choice::DownDownEnter, "Springfield, ", "", "", 0, 0},
        };
        for (const auto& c : cases) {
            Form f;
            QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
            QSignalSpy chosen(f.completion, &PlaceCompleter::placeChosen);
            // Typed at once on the first focus: the keys come while the atlas is read, and are
            // answered when it is.
            f.box->setFocus();
            QTest::keyClicks(f.box, c.typed);
            QCOMPARE(f.completion->atlas_state(), State::Loading);
            QTRY_VERIFY_WITH_TIMEOUT(f.list()->isVisible(), load_timeout_ms);

            const auto& offered = f.completion->offered();
            QVERIFY2(offered.size() >= (c.choice == Choice::DownDownEnter ? 2u : 1u), qPrintable(c.typed));
            QVERIFY2(f.shown().front().startsWith(c.first), qPrintable(f.shown().join(" | ")));
            for (std::size_t i = 0; i < offered.size(); ++i) {
                QCOMPARE(f.shown()[static_cast<int>(i)], QString::fromStdString(offered[i].display_name()));
                if (i > 0) QVERIFY(offered[i - 1].population >= offered[i].population);
            }

            int row = 0;
            switch (c.choice) {
            case Choice::Enter:
                QTest::keyClick(f.list(), Qt::Key_Return);
                break;
            case Choice::DownDownEnter:
                QTest::keyClick(f.list(), Qt::Key_Down);
                QTest::keyClick(f.list(), Qt::Key_Down);
                QTest::keyClick(f.list(), Qt::Key_Enter);
                row = 1;
                break;
            case Choice::Click:
                const QModelIndex first = f.list()->model()->index(0, 0);
                QTest::mouseClick(f.list()->viewport(), Qt::LeftButton, {}, f.list()->visualRect(first).center());
                break;
            }
            const AtlasPlace expected = offered[static_cast<std::size_t>(row)];
            QTRY_VERIFY(!f.list()->isVisible());
            QCOMPARE(chosen.count(), 1);
            const auto place = chosen.at(0).at(0).value<AtlasPlace>();
            QCOMPARE(f.box->text(), QString::fromStdString(expected.display_name()));
            QCOMPARE(place.display_name(), expected.display_name());
            QCOMPARE(place.latitude, expected.latitude);
            if (c.chosen.isEmpty()) continue;
            QCOMPARE(f.box->text(), c.chosen);
            QCOMPARE(QString::fromStdString(place.zone), QString(c.zone));
            QVERIFY(std::abs(place.latitude - c.latitude) < 0.01 && std::abs(place.longitude - c.longitude) < 0.01);
        }
    }

    void oddOrErasedTextOffersNothing() {
        const QString long_text = QString(150, QChar(0x00E9)) + QString(150, '%');
        const std::pair<QString, QString> cases[] = {  // typed ('\b' a backspace), what stays in the box
            {"%%%", "%%%"}, {"'", "'"}, {long_text, long_text}, {QString(300, 'z'), QString(300, 'z')},
            {",,, ,", ",,, ,"}, {"Pari\b\b\b\b", ""}};
        for (const auto& [typed, stays] : cases) {
            Form f;
            QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
            QSignalSpy chosen(f.completion, &PlaceCompleter::placeChosen);
            f.box->setFocus();
            QTRY_VERIFY_WITH_TIMEOUT(f.completion->atlas_state() != State::Loading, load_timeout_ms);
            for (const QChar ch : typed) {
                if (ch != '\b') {  // keyClicks takes ASCII only
                    QTest::sendKeyEvent(QTest::Click, f.box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
                    continue;
                }
                // "Pari" was offered, and is taken back.
                if (tavrolin::atlas_built()) QTRY_VERIFY(f.list()->isVisible());
                QTest::keyClick(f.box, Qt::Key_Backspace);
            }
            QTest::qWait(50);
            QVERIFY2(!f.list()->isVisible(), qPrintable(typed.left(20)));
            QCOMPARE(f.box->text(), stays);
            QTest::keyClick(f.box, Qt::Key_Return);
            QCOMPARE(chosen.count(), 0);
            QCOMPARE(f.box->text(), stays);
        }
    }
};

QTEST_MAIN(PlaceCompleterTest)
#include "place_completer_test.moc"
