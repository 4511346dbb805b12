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
    track->early = std::make_unique<std::atomic<unsigned char>[]>(times_.size());
    track->missing.store(times(), std::memory_order_relaxed);
    slot = track_count();
    tracks_.push_back(std::move(track));
    return slot;
}

void PositionGrid::compute_time(Track& tr, std::size_t i, Ephemeris& eph) {
    const auto keep = [&](GridEntry& entry, const LibraryResult& r, int element) {
        entry.value = r.xx[static_cast<std::size_t>(element)];
        entry.speed = r.xx[static_cast<std::size_t>(element) + 3];
        entry.failed = r.rc < 0;
        if (entry.failed) {
            tr.failed.store(true, std::memory_order_relaxed);
            std::lock_guard<std::mutex> lock(failures_mutex_);
            failures_[&entry] = r.message;
        }
    };
    if (tr.helio == 0) {
        // Longitude then declination of one moment: the second is the library's own saved
        // computation in another frame, nearly free.
        keep(tr.lon[i], eph.compute(times_[i], tr.body, 0), 0);
        keep(tr.decl[i], eph.compute(times_[i], tr.body, SEFLG_EQUATORIAL_), 1);
    } else {
        // Heliocentric longitude and latitude are two elements of the same call.
        const LibraryResult r = eph.compute(times_[i], tr.body, SEFLG_HELCTR_);
        keep(tr.lon[i], r, 0);
        keep(tr.decl[i], r, 1);
    }
}

void PositionGrid::fill(const std::vector<int>& tracks, int from, int to, Ephemeris& eph) {
    for (int k = from; k < to; ++k) {
        const auto i = static_cast<std::size_t>(k);
        for (const int track : tracks) {
            Track& tr = *tracks_[static_cast<std::size_t>(track)];
            if (tr.early[i].load(std::memory_order_acquire) != 2) compute_time(tr, i, eph);
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

bool PositionGrid::locate(double jd, int p_num, int extra_flags, int element, Slot& slot) const {
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
        return false;
    }
    if (p_num < 0 || p_num > last_body_index || times_.empty()) return false;
    const int t = index_[static_cast<std::size_t>(p_num)][static_cast<std::size_t>(helio)];
    if (t < 0) return false;
    const double d = jd - times_.front();
    if (!(d >= 0.0 && d <= static_cast<double>(times_.size() - 1))) return false;
    const auto k = static_cast<std::size_t>(d + 0.5);
    if (k >= times_.size() || times_[k] != jd) return false;
    slot = {tracks_[static_cast<std::size_t>(t)].get(), k, lon};
    return true;
}

const GridEntry* PositionGrid::find(double jd, int p_num, int extra_flags, int element) const {
    Slot s;
    if (!locate(jd, p_num, extra_flags, element, s)) return nullptr;
    if (s.track->missing.load(std::memory_order_acquire) != 0) return nullptr;
    return s.lon ? &s.track->lon[s.k] : &s.track->decl[s.k];
}

const GridEntry* PositionGrid::find_or_fill(double jd, int p_num, int extra_flags, int element, Ephemeris& eph) {
    Slot s;
    if (!locate(jd, p_num, extra_flags, element, s)) return nullptr;
    std::atomic<unsigned char>& early = s.track->early[s.k];
    if (early.load(std::memory_order_acquire) != 2) {
        unsigned char none = 0;
        // A time another thread is computing is asked of the library directly instead.
        if (!early.compare_exchange_strong(none, 1, std::memory_order_acquire)) return nullptr;
        compute_time(*s.track, s.k, eph);
        early.store(2, std::memory_order_release);
    }
    return s.lon ? &s.track->lon[s.k] : &s.track->decl[s.k];
}

std::string PositionGrid::failure(const GridEntry* entry) const {
    std::lock_guard<std::mutex> lock(failures_mutex_);
    const auto f = failures_.find(entry);
    return f == failures_.end() ? error_text("") : f->second;
}

std::size_t PositionGrid::bytes_for(int times, int tracks) {
    const auto n = static_cast<std::size_t>(times > 0 ? times : 0);
    return n * sizeof(double) +
           n * static_cast<std::size_t>(tracks > 0 ? tracks : 0) * (2 * sizeof(GridEntry) + sizeof(std::atomic<unsigned char>));
}

}  // namespace tavrolin
