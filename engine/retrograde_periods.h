// Retrograde periods with their shadows, for the timeline: built from the stations that the event
// search found, with the stations just outside the range searched for too, so that a period that
// began before the range or ends after it still has both of its ends.
#pragma once

#include <vector>

#include "engine/sky_events.h"

namespace tavrolin {

// The periods of search.bodies whose shadow reaches into the search's range, by body then time.
// `events` are find_sky_events' answer for `search` (its stations are used, dated as it dated
// them). The shadows' ends are found on the library's positions, to under a second. A period
// whose other station lies beyond the stations searched for is cut there, without that shadow.
// Positions that fail outside the range are not reported: the run's own search names its bodies.
std::vector<RetrogradePeriod> find_retrograde_periods(Ephemeris& eph, const SkyEventSearch& search,
                                                      const std::vector<SkyEvent>& events);

}  // namespace tavrolin
