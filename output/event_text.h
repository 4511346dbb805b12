// The words of the sky's events, shared by the listings and the exports: "Mercury stations
// retrograde", "Saturn enters Pisces", "Full Moon", "Total solar eclipse".
#pragma once

#include <string>

#include "engine/sky_events.h"

namespace tavrolin {

// "Aries" .. "Pisces" for 1..12; empty otherwise.
std::string sign_name(int sign);

// The event as a line of a planetary guide begins: "Mercury stations retrograde", "Mars stations
// direct on natal Sun", "Saturn enters Pisces", "Mars enters Aries (retrograde)", "New Moon",
// "Total solar eclipse", "Moon void of course", "Saturn enters natal house 10", "Saturn leaves
// house 10 for house 9".
std::string event_words(const SkyEvent& e);

// The CSV `kind` ("station", "ingress", "lunation", "eclipse", "void_of_course", "house_ingress")
// and `event` ("retrograde", "Taurus", "Aries (retrograde)", "full", "total solar", "void of
// course", "house 10", "house 9 (retrograde)"...).
std::string event_kind_word(const SkyEvent& e);
std::string event_detail_word(const SkyEvent& e);

// "27°13' Aries": the longitude to the whole minute, in the sign's name.
std::string degree_in_sign(double longitude);

}  // namespace tavrolin
