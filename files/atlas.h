// The atlas of places: the GeoNames cities of 15,000 people or more that libgeonames holds, with
// their states, countries, time-zone names, coordinates and populations. It is read on first use,
// not at start-up (the first call takes a few hundred milliseconds; any thread may make it), and
// then answered from an index of our own: the library's own query reads every place anew and takes
// far longer than a keystroke may.
//
// Names are matched word by word, ignoring case and accents ("sao paulo" finds "São Paulo",
// "tromso" finds "Tromsø"). A text is the place's name, then optionally its state and country, all
// separated by commas: "Paris", "Paris, France", "Springfield, Missouri", "Paris, FR".
// The library gives the state and country names in the language of the user's locale.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrolin {

struct AtlasPlace {
    std::string name;
    std::string state;
    std::string country;
    std::string country_code;  // "FR"
    std::string zone;          // the tz database's name: "Europe/Paris"
    double latitude = 0.0;     // degrees, north positive
    double longitude = 0.0;    // degrees, east positive
    long population = 0;

    // "Paris, Île-de-France Region, France": the name, the state and the country.
    std::string display_name() const;
};

// What a build without libgeonames answers in place of the atlas.
inline constexpr std::string_view no_atlas_text = "no atlas";

// Whether this build has the atlas. Without it typed coordinates are the only way to a place.
bool atlas_built();

// Completion as the user types: the places whose name, or a run of its words, begins with the
// text before the first comma (the last word may be unfinished), and whose state or country
// begins so with each later part (or whose country code it is); larger places first, at most
// `limit`. Nothing for an empty text or without the atlas.
std::vector<AtlasPlace> atlas_query(std::string_view text, std::size_t limit = 20);

// The place a text names. The places whose whole name is the text's first part (case and accents
// ignored) and that fit its later parts are the candidates; the largest of them is taken when it is
// the only one, has at least twice the people of the next, or shares its name, state and country
// with the next (no text could tell them apart). Otherwise the text is ambiguous: as with no
// candidate at all, nothing is returned and `error` explains, listing up to five places.
std::optional<AtlasPlace> atlas_lookup(std::string_view text, std::string* error = nullptr);

// The number of places in the atlas (0 without it); loads the atlas when it is not yet loaded.
std::size_t atlas_size();

}  // namespace tavrolin
