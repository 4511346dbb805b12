#include "engine/position_grid.h"

#include "engine/ephemeris.h"

namespace tavrolin {

PositionGrid::PositionGrid(double first, int count) {
    for (auto& row : index_) row.fill(-1);
    times_.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    double t = first;
    for (int k = 0; k < count; ++k) {
        times_.push_back(t);
        t = t + 1.0;
    }
}

int PositionGrid::add_track(int body, int helio) {
    int& slot = index_[static_cast<std::size_t>(body)][static_cast<std::size_t>(helio != 0)];
    if (slot >= 0) return slot;
    auto track = std::make_unique<Track>();
    track->body = body;
    track->helio = helio != 0;
    track->lon.resize(times_.size());
    track->decl.resize(times_.size());
    track->missing.store(times(), std::memory_order_relaxed);
    slot = track_count();
    tracks_.push_back(std::move(track));
    return slot;
}

void PositionGrid::fill(const std::vector<int>& tracks, int from, int to, Ephemeris& eph) {
    const auto keep = [&](Track& tr, GridEntry& entry, const LibraryResult& r, int element) {
        entry.value = r.xx[static_cast<std::size_t>(element)];
        entry.speed = r.xx[static_cast<std::size_t>(element) + 3];
        entry.failed = r.rc < 0;
        if (entry.failed) {
            tr.failed.store(true, std::memory_order_relaxed);
            std::lock_guard<std::mutex> lock(failures_mutex_);
            failures_[&entry] = r.message;
        }
    };
    for (int k = from; k < to; ++k) {
        const auto i = static_cast<std::size_t>(k);
        for (const int track : tracks) {
            Track& tr = *tracks_[static_cast<std::size_t>(track)];
            if (tr.helio == 0) {
                // Longitude then declination of one moment: the second is the library's own
                // saved computation in another frame, nearly free.
                keep(tr, tr.lon[i], eph.compute(times_[i], tr.body, 0), 0);
                keep(tr, tr.decl[i], eph.compute(times_[i], tr.body, SEFLG_EQUATORIAL_), 1);
            } else {
                // Heliocentric longitude and latitude are two elements of the same call.
                const LibraryResult r = eph.compute(times_[i], tr.body, SEFLG_HELCTR_);
                keep(tr, tr.lon[i], r, 0);
                keep(tr, tr.decl[i], r, 1);
            }
        }
    }
}

void PositionGrid::mark_filled(int track, int count) {
    tracks_[static_cast<std::size_t>(track)]->missing.fetch_sub(count, std::memory_order_release);
}

bool PositionGrid::complete(int track) const {
    return tracks_[static_cast<std::size_t>(track)]->missing.load(std::memory_order_acquire) == 0;
}

void PositionGrid::probe_margins(int track, double margin, Ephemeris& eph) {
    Track& tr = *tracks_[static_cast<std::size_t>(track)];
    if (times_.empty()) return;
    bool ok = true;
    for (const double t : {times_.front() - margin, times_.back() + margin}) {
        if (tr.helio == 0) {
            ok = ok && eph.compute(t, tr.body, 0).rc >= 0 && eph.compute(t, tr.body, SEFLG_EQUATORIAL_).rc >= 0;
        } else {
            ok = ok && eph.compute(t, tr.body, SEFLG_HELCTR_).rc >= 0;
        }
    }
    tr.margins_ok = ok;
}

bool PositionGrid::clean(int track) const {
    const Track& tr = *tracks_[static_cast<std::size_t>(track)];
    return tr.margins_ok && complete(track) && !tr.failed.load(std::memory_order_relaxed);
}

const GridEntry* PositionGrid::find(double jd, int p_num, int extra_flags, int element) const {
    int helio = 0;
    bool lon = true;
    if (extra_flags == 0 && element == 0) {
        helio = 0;
    } else if (extra_flags == SEFLG_EQUATORIAL_ && element == 1) {
        lon = false;
    } else if (extra_flags == SEFLG_HELCTR_ && (element == 0 || element == 1)) {
        helio = 1;
        lon = element == 0;
    } else {
        return nullptr;
    }
    if (p_num < 0 || p_num > last_body_index || times_.empty()) return nullptr;
    const int t = index_[static_cast<std::size_t>(p_num)][static_cast<std::size_t>(helio)];
    if (t < 0) return nullptr;
    const double d = jd - times_.front();
    if (!(d >= 0.0 && d <= static_cast<double>(times_.size() - 1))) return nullptr;
    const auto k = static_cast<std::size_t>(d + 0.5);
    if (k >= times_.size() || times_[k] != jd) return nullptr;
    const Track& tr = *tracks_[static_cast<std::size_t>(t)];
    if (tr.missing.load(std::memory_order_acquire) != 0) return nullptr;
    return lon ? &tr.lon[k] : &tr.decl[k];
}

std::string PositionGrid::failure(const GridEntry* entry) const {
    std::lock_guard<std::mutex> lock(failures_mutex_);
    const auto f = failures_.find(entry);
    return f == failures_.end() ? error_text("") : f->second;
}

std::size_t PositionGrid::bytes_for(int times, int tracks) {
    const auto n = static_cast<std::size_t>(times > 0 ? times : 0);
    return n * sizeof(double) + n * static_cast<std::size_t>(tracks > 0 ? tracks : 0) * 2 * sizeof(GridEntry);
}

}  // namespace tavrolin
