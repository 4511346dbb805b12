// The birth place box's completion as a user meets it: what the completer adds to the window's start,
// how the atlas's first read keeps the window answering, and each keystroke, from the key event to
// the list brought up to date.
//
//   place_completer_bench [ROUNDS]   the keystroke part ROUNDS times over (default 1)
//
// It runs offscreen unless QT_QPA_PLATFORM says otherwise. Keys are real key events sent to a
// QLineEdit with the completer, as the window's box would get them.
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "window/place_completer.h"

using tavrolin::PlaceCompleter;

namespace {

double ms(qint64 ns) { return static_cast<double>(ns) / 1e6; }

// The main thread's processor time: on a machine shared with other work, the wall-clock time of a
// keystroke also holds the time the thread waited for a processor.
qint64 thread_cpu_ns() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Stats {
    std::vector<double> values;
    void print(const char* what, double limit) {
        std::sort(values.begin(), values.end());
        double sum = 0;
        for (double v : values) sum += v;
        const auto over = std::count_if(values.begin(), values.end(), [&](double v) { return v >= limit; });
        std::printf("%-44s n=%zu mean %.3f ms, median %.3f ms, 95%% within %.3f ms, slowest %.3f ms, %td at %.0f ms or more\n",
                    what, values.size(), sum / static_cast<double>(values.size()), values[values.size() / 2],
                    values[values.size() * 95 / 100], values.back(), over, limit);
    }
};

// A key as the keyboard would send it; QTest::keyClick takes ASCII only.
void type_key(QLineEdit* box, QChar ch) {
    if (ch == '\b')
        QTest::keyClick(box, Qt::Key_Backspace);
    else
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    if (!tavrolin::atlas_built()) {
        std::printf("%s: built without libgeonames; the completer does nothing\n", std::string(tavrolin::no_atlas_text).c_str());
        return 1;
    }

    // Construction: a box alone against a box with its completer, the first time and then often.
    QElapsedTimer clock;
    std::vector<std::unique_ptr<QLineEdit>> kept;
    clock.start();
    kept.push_back(std::make_unique<QLineEdit>());
    const qint64 first_box = clock.nsecsElapsed();
    clock.start();
    kept.push_back(std::make_unique<QLineEdit>());
    new PlaceCompleter(kept.back().get());
    const qint64 first_with = clock.nsecsElapsed();
    std::printf("first construction: box %.3f ms, box with completer %.3f ms\n", ms(first_box), ms(first_with));
    Stats bare, with;
    for (int i = 0; i < 200; ++i) {
        clock.start();
        kept.push_back(std::make_unique<QLineEdit>());
        bare.values.push_back(ms(clock.nsecsElapsed()));
        clock.start();
        auto box = std::make_unique<QLineEdit>();
        new PlaceCompleter(box.get());
        with.values.push_back(ms(clock.nsecsElapsed()));
        kept.push_back(std::move(box));
    }
    bare.print("construction, box alone:", 50);
    with.print("construction, box with completer:", 50);
    kept.clear();

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLineEdit);
    auto* box = new QLineEdit;
    layout->addWidget(box);
    auto* completion = new PlaceCompleter(box);
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) {
        std::printf("the window could not be made active\n");
        return 1;
    }

    // The first focus starts the read; a timer every 5 ms shows how long the window goes unanswered.
    QElapsedTimer gap;
    double longest_gap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest_gap = std::max(longest_gap, ms(gap.nsecsElapsed()));
        gap.start();
    });
    ticker.start(5);
    gap.start();
    clock.start();
    box->setFocus();
    const double focus_call = ms(clock.nsecsElapsed());
    while (completion->atlas_state() == PlaceCompleter::AtlasState::Loading) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double loaded = ms(clock.nsecsElapsed());
    ticker.stop();
    std::printf("first focus: call %.3f ms; atlas ready after %.1f ms (%zu places); window unanswered at most %.1f ms meanwhile\n",
                focus_call, loaded, tavrolin::atlas_size(), longest_gap);

    // Keystrokes: names typed a letter at a time and erased again, then every two-letter start.
    QStringList typed = {"Paris, France", "Buenos Aires", "Tromsø", "San Pedro, Mexico", "Springfield, Illinois",
                         "Rio de Janeiro", "Ho Chi Minh City", "Ouagadougou", "new york", "Sao Paulo, Brazil",
                         "Frankfurt am Main", "St. Petersburg", "xyzzy", "%%%", QString(300, 'a')};
    for (char a = 'a'; a <= 'z'; ++a)
        for (char b = 'a'; b <= 'z'; ++b) typed << QString(QChar(a)) + QChar(b);
    qint64 updated_at = 0, cpu_at = 0, cpu_start = 0;
    QObject::connect(completion, &PlaceCompleter::completionsUpdated, [&] {
        updated_at = clock.nsecsElapsed();
        cpu_at = thread_cpu_ns();
    });
    Stats to_update, cpu_to_update, to_idle;
    int shown = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const QString& text : typed) {
            QString keys = text + QString(text.size(), '\b');
            for (const QChar ch : keys) {
                updated_at = -1;
                cpu_start = thread_cpu_ns();
                clock.start();
                type_key(box, ch);
                if (updated_at < 0) {
                    std::printf("a keystroke was not answered: %s\n", qPrintable(box->text()));
                    return 1;
                }
                to_update.values.push_back(ms(updated_at));
                cpu_to_update.values.push_back(ms(cpu_at - cpu_start));
                // Then what Qt does with the list before the next key: laying it out, drawing it.
                QCoreApplication::processEvents();
                to_idle.values.push_back(ms(clock.nsecsElapsed()));
                shown += completion->completer()->popup()->isVisible() ? 1 : 0;
            }
        }
    }
    to_update.print("keystroke to list updated:", 20);
    cpu_to_update.print("the same, main thread's processor time:", 20);
    to_idle.print("keystroke to events processed:", 20);
    std::printf("list shown after %d of %zu keystrokes\n", shown, to_update.values.size());
    return 0;
}
