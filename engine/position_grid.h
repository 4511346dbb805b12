// The positions of a run's scan times, computed once and shared by every body pair and every
// worker thread. The scan asks for each body's longitude and declination (heliocentric: latitude)
// at the same whole-day times for every partner; the grid answers those calls with exactly what
// the library call would have given, so the results do not change.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/bodies.h"

namespace tavrolin {

class Ephemeris;

// One procedure's result at one time: the value, its speed, and whether the library failed.
struct GridEntry {
    double value = 0.0;
    double speed = 0.0;
    bool failed = false;
};

class PositionGrid {
public:
    // `count` times from `first` on, one day apart, made by the same repeated addition as the
    // scan's steps so that they are the very same numbers.
    PositionGrid(double first, int count);

    int times() const { return static_cast<int>(times_.size()); }

    // A track: one body's positions under one Helio tick. Adding a track twice gives the same
    // index. Tracks are added before any is filled.
    int add_track(int body, int helio);
    int track_count() const { return static_cast<int>(tracks_.size()); }

    // Computes times [from, to) of some tracks with `eph`, which must be set to the run's
    // options: all tracks at one time before the next time, because the library keeps the work
    // shared by all bodies at one moment (the Earth, nutation) for the next call. Different
    // threads may fill different ranges at once; mark_filled then counts them done, and a track
    // answers calls only once all its times are.
    void fill(const std::vector<int>& tracks, int from, int to, Ephemeris& eph);
    void mark_filled(int track, int count);
    bool complete(int track) const;

    // Asks the library for a track's positions `margin` days before the first time and after the
    // last (with `eph`, set to the run's options); with those and every time of the grid computed
    // without error, the track is clean: no call for the body anywhere in between fails.
    void probe_margins(int track, double margin, Ephemeris& eph);
    bool clean(int track) const;

    // The entry answering a procedure call (extra flags and element as the procedure uses them)
    // for a body at a time, or nullptr when the grid does not hold it.
    const GridEntry* find(double jd, int p_num, int extra_flags, int element) const;
    // As find, also before the track is complete: a time not computed yet is computed now with
    // `eph` (set to the run's options), as fill would, and kept; fill then passes over it. Meant
    // for a search that runs before the grid is filled (and before any fill starts); nullptr
    // when the grid does not hold the call, or another thread is computing that time just then.
    const GridEntry* find_or_fill(double jd, int p_num, int extra_flags, int element, Ephemeris& eph);
    // The library's message for a failed entry.
    std::string failure(const GridEntry* entry) const;

    // Memory a grid of this size takes.
    static std::size_t bytes_for(int times, int tracks);

private:
    struct Track {
        int body = 0;
        int helio = 0;
        std::vector<GridEntry> lon;   // longitude (geocentric or heliocentric)
        std::vector<GridEntry> decl;  // declination, or heliocentric latitude
        // Per time: computed already by find_or_fill (2), being computed (1), not yet (0).
        std::unique_ptr<std::atomic<unsigned char>[]> early;
        std::atomic<int> missing{0};  // times not yet filled
        std::atomic<bool> failed{false};  // some time failed
        bool margins_ok = false;
    };

    // The track, time index and element (longitude or else declination / latitude) of a call.
    struct Slot {
        Track* track = nullptr;
        std::size_t k = 0;
        bool lon = true;
    };
    bool locate(double jd, int p_num, int extra_flags, int element, Slot& slot) const;
    void compute_time(Track& tr, std::size_t i, Ephemeris& eph);

    std::vector<double> times_;
    std::vector<std::unique_ptr<Track>> tracks_;
    std::array<std::array<int, 2>, body_count> index_{};
    mutable std::mutex failures_mutex_;
    std::map<const GridEntry*, std::string> failures_;
};

}  // namespace tavrolin
