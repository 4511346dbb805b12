#include "files/atlas.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

#ifdef TAVROLIN_HAVE_ATLAS
#include <geonames.h>
#endif

namespace tavrolin {

std::string AtlasPlace::display_name() const {
    std::string text = name;
    for (const std::string* part : {&state, &country}) {
        if (!part->empty()) text += ", " + *part;
    }
    return text;
}

#ifndef TAVROLIN_HAVE_ATLAS

bool atlas_built() { return false; }
std::vector<AtlasPlace> atlas_query(std::string_view, std::size_t) { return {}; }
std::size_t atlas_size() { return 0; }

std::optional<AtlasPlace> atlas_lookup(std::string_view, std::string* error) {
    if (error != nullptr) {
        *error = std::string(no_atlas_text) + ": this build of the program has no atlas of places; give the latitude "
                 "and longitude instead";
    }
    return std::nullopt;
}

#else

namespace {

// A text's words in lower-case ASCII, each after a blank (" sao paulo"): accents dropped by GLib's
// transliteration, any other character a separator. A run of a place's words is then found as a
// plain substring, and the leading blank keeps it to the start of a word.
std::string folded_key(std::string_view text) {
    if (text.empty()) return {};  // its data may be null, which GLib refuses
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    // GLib's table has no "Đ" or "đ" (Vietnamese), and would give "?".
    std::string s;
    for (const char* p = valid; *p != '\0'; ++p) {
        if (p[0] == '\xC4' && (p[1] == '\x90' || p[1] == '\x91')) {
            s += 'd';
            ++p;
        } else {
            s += *p;
        }
    }
    g_free(valid);
    gchar* ascii = g_str_to_ascii(s.c_str(), "C");
    std::string key;
    bool in_word = false;
    for (const char* p = ascii; *p != '\0'; ++p) {
        if (g_ascii_isalnum(*p)) {
            if (!in_word) key += ' ';
            key += g_ascii_tolower(*p);
            in_word = true;
        } else {
            in_word = false;
        }
    }
    g_free(ascii);
    return key;
}

// Whether the words of `query` are a run of those of `target`, the last one perhaps unfinished:
// " new yo" fits " west new york".
bool fits(const std::string& query, const std::string& target) { return target.find(query) != std::string::npos; }

struct Entry {
    AtlasPlace place;
    std::string name, state, country, code;  // keys; the code " fr"
};

struct Query {
    std::string name;
    std::vector<std::string> qualifiers;
};

Query parse_query(std::string_view text) {
    Query q;
    bool first = true;
    while (true) {
        const auto comma = text.find(',');
        const auto part = text.substr(0, comma);
        if (first) {
            q.name = folded_key(part);
            first = false;
        } else if (auto key = folded_key(part); !key.empty()) {
            q.qualifiers.push_back(std::move(key));
        }
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return q;
}

bool fits_qualifiers(const Entry& e, const Query& q) {
    return std::all_of(q.qualifiers.begin(), q.qualifiers.end(), [&](const std::string& key) {
        return fits(key, e.state) || fits(key, e.country) || key == e.code;
    });
}

// Every place, the largest first.
const std::vector<Entry>& entries() {
    static std::vector<Entry> all;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        const int n = geonames_get_n_cities();
        all.reserve(static_cast<std::size_t>(std::max(n, 0)));
        // States and countries recur: each is folded once.
        std::unordered_map<std::string, std::string> keys;
        const auto key_of = [&keys](const std::string& text) -> const std::string& {
            auto it = keys.find(text);
            if (it == keys.end()) it = keys.emplace(text, folded_key(text)).first;
            return it->second;
        };
        const auto text = [](const gchar* s) { return std::string(s != nullptr ? s : ""); };
        for (int i = 0; i < n; ++i) {
            GeonamesCity* city = geonames_get_city(i);
            if (city == nullptr) continue;
            Entry e;
            e.place.name = text(geonames_city_get_name(city));
            e.place.state = text(geonames_city_get_state(city));
            e.place.country = text(geonames_city_get_country(city));
            e.place.country_code = text(geonames_city_get_country_code(city));
            e.place.zone = text(geonames_city_get_timezone(city));
            e.place.latitude = geonames_city_get_latitude(city);
            e.place.longitude = geonames_city_get_longitude(city);
            e.place.population = static_cast<long>(geonames_city_get_population(city));
            geonames_city_free(city);
            e.name = folded_key(e.place.name);
            e.state = key_of(e.place.state);
            e.country = key_of(e.place.country);
            e.code = folded_key(e.place.country_code);
            all.push_back(std::move(e));
        }
        std::stable_sort(all.begin(), all.end(),
                         [](const Entry& a, const Entry& b) { return a.place.population > b.place.population; });
    });
    return all;
}

std::string candidate_lines(const std::vector<AtlasPlace>& places) {
    std::string lines;
    for (const auto& p : places) lines += "\n  " + p.display_name();
    return lines;
}

}  // namespace

bool atlas_built() { return true; }

std::size_t atlas_size() { return entries().size(); }

std::vector<AtlasPlace> atlas_query(std::string_view text, std::size_t limit) {
    const Query q = parse_query(text);
    std::vector<AtlasPlace> found;
    if (q.name.empty()) return found;
    for (const auto& e : entries()) {
        if (found.size() >= limit) break;
        if (fits(q.name, e.name) && fits_qualifiers(e, q)) found.push_back(e.place);
    }
    return found;
}

std::optional<AtlasPlace> atlas_lookup(std::string_view text, std::string* error) {
    const Query q = parse_query(text);
    const auto fail = [&](std::string why) -> std::optional<AtlasPlace> {
        if (error != nullptr) *error = std::move(why);
        return std::nullopt;
    };
    if (q.name.empty()) return fail("No place was given");
    std::vector<const Entry*> candidates;
    for (const auto& e : entries()) {
        if (e.name == q.name && fits_qualifiers(e, q)) candidates.push_back(&e);
    }
    std::string quoted = "\"";  // appended, not added: GCC 12 warns wrongly about "\"" + std::string(text)
    quoted.append(text).append("\"");
    if (candidates.empty()) {
        const auto similar = atlas_query(text, 5);
        if (similar.empty()) return fail(quoted + " is not a place in the atlas");
        return fail(quoted + " is not a place in the atlas; did you mean one of these?" + candidate_lines(similar));
    }
    // The entries are in order of size, so the candidates are too.
    const auto& largest = candidates[0]->place;
    if (candidates.size() == 1 || largest.population >= 2 * candidates[1]->place.population ||
        candidates[1]->place.display_name() == largest.display_name())
        return largest;
    std::vector<AtlasPlace> listed;
    for (std::size_t i = 0; i < candidates.size() && i < 5; ++i) listed.push_back(candidates[i]->place);
    return fail(quoted + " is ambiguous: none of the " + std::to_string(candidates.size()) +
                " places it names is clearly the largest; add the state or the country, as in one of these:" +
                candidate_lines(listed));
}

#endif

}  // namespace tavrolin
