// The sky's own events of a calculation run, chosen by the run's mode and ticks, and the house
// ingresses of the natal modes, listed as events of one more kind.
#include <algorithm>
#include <array>
#include <iterator>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/house_ingresses.h"
#include "engine/retrograde_periods.h"

namespace tavrolin {

namespace {

SkyEvent house_ingress_event(const HouseIngress& x) {
    SkyEvent e;
    e.kind = SkyEventKind::house_ingress;
    e.body = x.body;
    e.jd = e.end_jd = x.jd;
    e.longitude = x.longitude;
    e.retrograde = x.retrograde;
    e.house = x.house;
    e.house_left = x.left;
    return e;
}

// The ticked P1 bodies whose events a run searches. Events are geocentric: the Earth has none. A
// directed body needs its natal place and the Sun's.
std::vector<int> event_bodies(const ControlValues& c, const std::array<bool, body_count>& natal_failed) {
    std::vector<int> bodies;
    for (int b = 0; b <= last_body_index; ++b) {
        const auto i = static_cast<std::size_t>(b);
        if (c.p1_planets[i] == 0 || b == earth_index) continue;
        if (c.mode == 3 && (natal_failed[i] || natal_failed[0])) continue;
        bodies.push_back(b);
    }
    return bodies;
}

}  // namespace

SkyEventsResult Engine::find_run_events(const ScanInputs& inputs, const std::function<bool()>& cancelled,
                                        int threads) {
    SkyEventsResult found = find_sky_run_events(inputs, cancelled, threads);
    const ControlValues& c = inputs.cv;
    // The natal houses are there when the run asked for house ingresses with a usable place.
    if (inputs.calc_kind != 1 || !house_ingresses_asked(c) || !natal_houses || found.cancelled) return found;
    HouseIngressSearch s;
    s.from_jd = inputs.plan.scan_start;
    s.to_jd = inputs.plan.scan_end + 1.0;
    s.cusps = natal_houses->cusps;
    s.progressed = c.mode == 2 || c.mode == 3;
    s.solar_arc = c.mode == 3;
    s.natal_jd = inputs.natal_jd;
    std::copy_n(inputs.natal_lon.begin(), body_count, s.natal_lon.begin());
    s.bodies = event_bodies(c, natal_failed);
    s.cancelled = cancelled;
    HouseIngressesResult crossings = find_house_ingresses(eph, s);

    // Into the events' time order; at equal times the sky's events come first.
    std::vector<SkyEvent> ingresses;
    ingresses.reserve(crossings.ingresses.size());
    for (const HouseIngress& x : crossings.ingresses) ingresses.push_back(house_ingress_event(x));
    std::vector<SkyEvent> merged;
    merged.reserve(found.events.size() + ingresses.size());
    std::merge(found.events.begin(), found.events.end(), ingresses.begin(), ingresses.end(), std::back_inserter(merged),
               [](const SkyEvent& a, const SkyEvent& b) { return a.jd < b.jd; });
    found.events = std::move(merged);
    for (auto& error : crossings.errors) {
        const bool named = std::any_of(found.errors.begin(), found.errors.end(), [&](const auto& e) { return e.first == error.first; });
        if (!named) found.errors.push_back(std::move(error));
    }
    found.cancelled = crossings.cancelled;
    return found;
}

SkyEventsResult Engine::find_sky_run_events(const ScanInputs& inputs, const std::function<bool()>& cancelled,
                                            int threads) {
    const ControlValues& c = inputs.cv;
    if (inputs.calc_kind != 1 || !c.any_event()) return {};
    SkyEventSearch s;
    // The pairs' steps cover [scan_start, scan_end + 1].
    s.from_jd = inputs.plan.scan_start;
    s.to_jd = inputs.plan.scan_end + 1.0;
    s.kinds = {c.stations, c.ingresses, c.lunations, c.eclipses, c.void_moon};
    if (c.mode == 2) {
        s.progressed = true;
        s.kinds.eclipses = s.kinds.void_moon = false;
    } else if (c.mode == 3) {
        s.solar_arc = true;
        s.kinds = {false, c.ingresses, false, false, false};
        // The bodies' natal places; the angles that follow them have no events.
        std::copy_n(inputs.natal_lon.begin(), body_count, s.natal_lon.begin());
    }
    s.natal_jd = inputs.natal_jd;
    // The void-of-course Moon is one of the Moon's events: it needs the Moon's tick.
    if (c.p1_planets[1] == 0) s.kinds.void_moon = false;
    const SkyEventKinds& k = s.kinds;
    if (!(k.stations || k.ingresses || k.lunations || k.eclipses || k.void_moon)) return {};
    s.bodies = event_bodies(c, natal_failed);
    s.cancelled = cancelled;
    s.threads = threads;

    static LibSweEclipses library_eclipses;
    EclipseApi* eclipses = k.eclipses ? (eclipse_api != nullptr ? eclipse_api : &library_eclipses) : nullptr;
    SkyEventsResult found = find_sky_events(eph, eclipses, s);
    for (const auto& [body, message] : found.errors) eph.note_error(body, message);
    // The timeline's retrograde bars and shadows.
    found.periods = find_retrograde_periods(eph, s, found.events);

    if (c.mode == 0) {
        // Stations and eclipses on a ticked natal body; Earth only as a heliocentric P2.
        std::vector<std::pair<int, double>> natal;
        for (int b = 0; b <= last_body_index; ++b) {
            const auto i = static_cast<std::size_t>(b);
            if (c.p2_planets[i] == 0 || natal_failed[i] || (b == earth_index && c.p2_helio == 0)) continue;
            natal.emplace_back(b, natal_lon[i]);
        }
        for (SkyEvent& e : found.events) {
            if (e.kind != SkyEventKind::station && e.kind != SkyEventKind::eclipse) continue;
            if (const auto point = natal_point_at(e.longitude, natal)) e.natal_point = *point;
        }
    }
    return found;
}

void Engine::add_run_events(ScanResults& results, SkyEventsResult&& events, ScanOutcome& outcome) {
    results.sky_events = std::move(events.events);
    results.retrograde_periods = std::move(events.periods);
    for (auto& error : events.errors) {
        bool named = false;
        for (const auto& e : results.errors) named = named || e.first == error.first;
        if (!named) results.errors.push_back(std::move(error));
    }
    if (events.cancelled && !outcome.cancelled) {
        outcome.cancelled = true;
        outcome.cancelled_p1 = -1;
        outcome.cancelled_p2 = -1;
    }
}

}  // namespace tavrolin
