// The birth place box's completion: what typing offers and choosing hands on; the atlas read on first use.
#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include "window/place_completer.h"

using State = tavrolin::PlaceCompleter::AtlasState;

class PlaceCompleterTest : public QObject {
    Q_OBJECT
    QScopedPointer<QWidget> window;
    tavrolin::PlaceCompleter* completion = nullptr;
    QLineEdit* box = nullptr;

private slots:
    void init() {  // each test a new window: a box with the focus, then the place box
        window.reset(new QWidget);
        new QLineEdit(window.data());
        (new QLineEdit(window.data()))->setObjectName("txtBirthPlace");
        box = window->findChild<QLineEdit*>("txtBirthPlace");
        completion = new tavrolin::PlaceCompleter(box);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.data()));
    }

    void atlasIsReadOnFirstFocusOnly() {
        QTest::qWait(100);
        QVERIFY(completion->atlas_state() == State::NotLoaded && QThreadPool::globalInstance()->activeThreadCount() == 0);
        box->setFocus();  // read on a worker thread: still being read when this returns
        QCOMPARE(completion->atlas_state(), tavrolin::atlas_built() ? State::Loading : State::Unavailable);
        QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), tavrolin::atlas_built() ? 1 : 0);
    }

    void typedTextOffersPlacesToChoose_data() {
        QTest::addColumn<QString>("typed");   // on the first focus; after '|', once places are offered
        QTest::addColumn<int>("downs");       // Down keys before Enter; -1: a click on the first row
        QTest::addColumn<QString>("chosen");  // the place's name, zone and coordinates; "" for none
        QTest::newRow("Enter") << "Pari" << 0 << "Paris, Île-de-France Region, France Europe/Paris 48.853 2.349";
        QTest::newRow("click") << "tromso" << -1 << "Tromsø, Troms og Finnmark, Norway Europe/Oslo 69.649 18.955";
        QTest::newRow("Down") << "springf" << 2 << "Springfield, Massachusetts, United States of America America/New_York 42.101 -72.590";
        for (const QString& odd : {QString("%%%"), QString("'"), QString(",,, ,"), QString(300, 'z'),
                                   QString(150, QChar(0xE9)) + QString(150, '%'), QString("Pari|\b\b\b\b")})
            QTest::newRow(qPrintable(odd.left(8))) << odd << 0 << "";
    }
    void typedTextOffersPlacesToChoose() {
        QFETCH(QString, typed);
        QFETCH(int, downs);
        QFETCH(QString, chosen);
        if (!tavrolin::atlas_built() && !chosen.isEmpty()) QSKIP("built without the atlas");
        QSignalSpy spy(completion, &tavrolin::PlaceCompleter::placeChosen);
        auto* list = completion->completer()->popup();
        box->setFocus();  // the keys come while the atlas is read, and are answered once it is
        for (const QChar ch : typed) {  // keyClicks takes ASCII only
            if (ch == '|') QTRY_VERIFY_WITH_TIMEOUT(list->isVisible() || !tavrolin::atlas_built(), 20000);
            else QTest::sendKeyEvent(QTest::Click, box, ch == '\b' ? Qt::Key_Backspace : Qt::Key_unknown, ch == '\b' ? QString() : QString(ch), {});
        }
        QTRY_VERIFY_WITH_TIMEOUT(completion->atlas_state() != State::Loading, 20000);
        if (downs < 0) QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        for (int i = 0; i < downs; ++i) QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list->isVisible() ? static_cast<QWidget*>(list) : box, Qt::Key_Return);
        QVERIFY(!list->isVisible());
        QCOMPARE(spy.count(), chosen.isEmpty() ? 0 : 1);
        // The box holds the place's name, or the text as typed (erased: none of it).
        QCOMPARE(box->text(), !chosen.isEmpty() ? chosen.section(' ', 0, -4) : typed.contains('\b') ? "" : typed);
        if (chosen.isEmpty()) return;
        const auto p = spy.at(0).at(0).value<tavrolin::AtlasPlace>();
        QCOMPARE(QString::fromStdString(p.display_name() + " " + p.zone) + QString(" %1 %2").arg(p.latitude, 0, 'f', 3).arg(p.longitude, 0, 'f', 3), chosen);
    }
};

QTEST_MAIN(PlaceCompleterTest)
#include "place_completer_test.moc"
