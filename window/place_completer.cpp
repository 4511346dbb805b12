#include "window/place_completer.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPromise>
#include <QStandardItemModel>
#include <QThreadPool>

#include <memory>

namespace tavrolin {

namespace {

// The row of `offered_` an item of the list stands for, kept with the item: the list shows the
// completer's own model, whose rows need not stay those of ours.
constexpr int offered_row_role = Qt::UserRole + 1;

}  // namespace

PlaceCompleter::PlaceCompleter(QLineEdit* box)
    : QObject(box), box_(box), completer_(new QCompleter(this)), model_(new QStandardItemModel(this)) {
    qRegisterMetaType<tavrolin::AtlasPlace>();
    completer_->setModel(model_);
    // The atlas has matched the text already, ignoring case and accents and word by word ("tromso"
    // is Tromsø, "york" is New York), so the list shows whatever it is given.
    completer_->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer_->setMaxVisibleItems(10);
    // Given the widget only, not set on the box, so that the box's text changes when a place is
    // chosen and not as the list is walked through with the arrow keys.
    completer_->setWidget(box_);
    connect(completer_, qOverload<const QModelIndex&>(&QCompleter::activated), this,
            [this](const QModelIndex& index) { choose(index.data(offered_row_role).toInt()); });
    connect(box_, &QLineEdit::textEdited, this, &PlaceCompleter::text_edited);
    connect(&load_watcher_, &QFutureWatcher<std::size_t>::finished, this, &PlaceCompleter::loaded);
    box_->installEventFilter(this);
    // Seen before the completer's own filter, which would first hand Enter to the box.
    completer_->popup()->installEventFilter(this);
}

bool PlaceCompleter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == box_ && event->type() == QEvent::FocusIn) {
        start_loading();
    } else if (watched == completer_->popup() && event->type() == QEvent::KeyPress) {
        // Enter takes the row walked to, or else the first (the largest place): typing "Paris"
        // and Enter gives Paris, France.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && completer_->popup()->isVisible()) {
            const QModelIndex current = completer_->popup()->currentIndex();
            choose(current.isValid() ? current.data(offered_row_role).toInt() : 0);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void PlaceCompleter::start_loading() {
    if (state_ != AtlasState::NotLoaded) return;
    if (!atlas_built()) {
        state_ = AtlasState::Unavailable;
        return;
    }
    state_ = AtlasState::Loading;
    // The watcher hears of the end on this thread; if this object is gone by then, nothing is told,
    // and the worker's load still serves the next box that asks.
    auto promise = std::make_shared<QPromise<std::size_t>>();
    load_watcher_.setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise] {
        promise->addResult(atlas_size());
        promise->finish();
    });
}

void PlaceCompleter::loaded() {
    const auto results = load_watcher_.future().results();
    state_ = !results.isEmpty() && results.front() > 0 ? AtlasState::Ready : AtlasState::Unavailable;
    // What was typed meanwhile is answered, unless the user has moved on to another box.
    if (state_ == AtlasState::Ready && typed_while_loading_ && box_->hasFocus()) answer(box_->text());
    typed_while_loading_ = false;
}

void PlaceCompleter::text_edited(const QString& text) {
    switch (state_) {
    case AtlasState::NotLoaded:
        start_loading();
        typed_while_loading_ = state_ == AtlasState::Loading;
        break;
    case AtlasState::Loading:
        typed_while_loading_ = true;
        break;
    case AtlasState::Ready:
        answer(text);
        break;
    case AtlasState::Unavailable:
        break;
    }
}

void PlaceCompleter::answer(const QString& text) {
    offered_ = atlas_query(text.toStdString(), max_offered);
    model_->setRowCount(0);
    for (std::size_t i = 0; i < offered_.size(); ++i) {
        auto* item = new QStandardItem(QString::fromStdString(offered_[i].display_name()));
        item->setData(static_cast<int>(i), offered_row_role);
        item->setEditable(false);
        model_->appendRow(item);
    }
    if (offered_.empty()) {
        completer_->popup()->hide();
    } else {
        completer_->complete();
        // Nothing walked to yet: Down goes to the first row, Enter takes it.
        completer_->popup()->setCurrentIndex(QModelIndex());
    }
    emit completionsUpdated();
}

void PlaceCompleter::choose(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= offered_.size()) return;
    const AtlasPlace place = offered_[static_cast<std::size_t>(row)];
    completer_->popup()->hide();
    box_->setText(QString::fromStdString(place.display_name()));
    emit placeChosen(place);
}

}  // namespace tavrolin
