// Completion of a place name from the atlas as the user types: a list under the box offers the places
// whose names begin with the text, the larger first; choosing one (Enter, or a click) puts its full
// name in the box and hands the place on.
//
// The atlas is not read when the window opens but on first use (the box's first focus or keystroke),
// on a worker thread: reading it takes a few hundred milliseconds, which the window must not freeze
// for. What is typed meanwhile is answered once it is read. Without the atlas (a build without
// libgeonames) the box is a plain text box.
#pragma once

#include <QFutureWatcher>
#include <QMetaType>
#include <QObject>

#include <cstddef>
#include <vector>

#include "files/atlas.h"

class QCompleter;
class QLineEdit;
class QStandardItemModel;

namespace tavrolin {

class PlaceCompleter : public QObject {
    Q_OBJECT

public:
    enum class AtlasState { NotLoaded, Loading, Ready, Unavailable };

    // Completes in `box`, and is deleted with it.
    explicit PlaceCompleter(QLineEdit* box);

    AtlasState atlas_state() const { return state_; }
    // The places now offered, in the list's order.
    const std::vector<AtlasPlace>& offered() const { return offered_; }
    // The list shown under the box (its popup() is the list's widget).
    QCompleter* completer() const { return completer_; }

    // How many places the list offers at most.
    static constexpr std::size_t max_offered = 20;

signals:
    void placeChosen(const tavrolin::AtlasPlace& place);
    // The list has been brought up to date with the box's text (shown, or hidden for no places).
    void completionsUpdated();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void start_loading();
    void loaded();
    void text_edited(const QString& text);
    void answer(const QString& text);
    void choose(int row);

    QLineEdit* box_;
    QCompleter* completer_;
    QStandardItemModel* model_;
    QFutureWatcher<std::size_t> load_watcher_;
    AtlasState state_ = AtlasState::NotLoaded;
    bool typed_while_loading_ = false;
    std::vector<AtlasPlace> offered_;
};

}  // namespace tavrolin

Q_DECLARE_METATYPE(tavrolin::AtlasPlace)
