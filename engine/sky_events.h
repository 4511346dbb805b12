// The sky's own events over a time range: stations, sign ingresses, lunations, eclipses and the
// void-of-course Moon, in time order. A run's house ingresses (house_ingresses.h) are listed as
// events of one more kind. Positions come through the Ephemeris (geocentric tropical
// longitudes and their speeds), eclipses from the library's own eclipse search.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/bodies.h"
#include "engine/eclipse_api.h"
#include "engine/ephemeris.h"

namespace tavrolin {

enum class SkyEventKind { station, ingress, lunation, eclipse, void_of_course, house_ingress };

enum class LunationPhase { new_moon, first_quarter, full_moon, last_quarter };

struct SkyEvent {
    SkyEventKind kind = SkyEventKind::station;
    // The moving body; the Moon for lunations, lunar eclipses and voids, the Sun for solar eclipses.
    int body = 0;
    double jd = 0.0;      // Universal Time, dated in life on a progressed scale; a void's start
    double end_jd = 0.0;  // a void's end (the Moon's ingress); jd for the other kinds
    double longitude = 0.0;
    // Station: stations retrograde (else direct). Ingress: the sign was entered moving backwards,
    // for a planet the re-entry into the sign it had left. House ingress: the cusp was crossed
    // backwards.
    bool retrograde = false;
    int sign = 0;  // ingress: the sign entered, 1..12
    int house = 0, house_left = 0;  // house ingress: the natal house entered and the one left, 1..12
    LunationPhase phase = LunationPhase::new_moon;
    EclipseType eclipse = EclipseType::none;
    double magnitude = 0.0;
    // Set by a transit-to-natal run: the natal body within a degree of a station or an eclipse
    // ("stations retrograde on natal Sun"); -1 for none.
    int natal_point = -1;

    bool operator==(const SkyEvent&) const = default;
};

struct SkyEventKinds {
    bool stations = false, ingresses = false, lunations = false, eclipses = false, void_moon = false;
};

struct SkyEventSearch {
    // The scan's time range, [from_jd, to_jd]; an event exactly at from_jd belongs to the range
    // before it, so that consecutive ranges list it once.
    double from_jd = 0.0, to_jd = 0.0;
    std::vector<int> bodies;  // for stations and ingresses; lunations, eclipses and voids need none
    SkyEventKinds kinds;
    // Progressed scale: the range is in progressed days (one day after birth is one year of life),
    // events are found there and dated in life. Only stations, ingresses and lunations.
    bool progressed = false;
    double natal_jd = 0.0;
    // Solar arc: the bodies directed by the progressed Sun's arc (natal longitude plus the Sun's
    // distance from its natal place), on the progressed scale. Only their sign ingresses.
    bool solar_arc = false;
    std::array<double, body_count> natal_lon{};
    // Asked regularly, from every thread of the search; true stops it, keeping what was found.
    std::function<bool()> cancelled;
    // Threads to share the bodies and kinds among, when the ephemeris can serve other threads.
    int threads = 1;
};

// A body's retrograde period, station to station, with its shadow: from the moment the body first
// reaches the longitude of the coming direct station to the moment it passes the longitude of the
// retrograde station again. Dated like the events (in life on a progressed scale).
struct RetrogradePeriod {
    int body = 0;
    double shadow_from = 0.0;
    double retrograde_from = 0.0;  // the station retrograde
    double retrograde_to = 0.0;    // the station direct
    double shadow_to = 0.0;
};

struct SkyEventsResult {
    std::vector<SkyEvent> events;
    // With the stations: the periods that reach into the range, shadows included, by body then
    // time (retrograde_periods.h).
    std::vector<RetrogradePeriod> periods;
    // Bodies whose positions could not be computed, with the library's message; none of their
    // events are listed.
    std::vector<std::pair<int, std::string>> errors;
    bool cancelled = false;
    // Library position calls made by the search's own threads (those of the calling thread are
    // counted by its Ephemeris).
    long long worker_calls = 0;
};

// eclipses may be nullptr when no eclipse is asked for.
SkyEventsResult find_sky_events(Ephemeris& eph, EclipseApi* eclipses, const SkyEventSearch& search);

// The natal body (of `natal`: body index and longitude) nearest to `longitude` within `orb`
// degrees, for "stations retrograde on natal Sun"; none when no body is that close.
std::optional<int> natal_point_at(double longitude, const std::vector<std::pair<int, double>>& natal,
                                  double orb = 1.0);

}  // namespace tavrolin
