// The atlas of places, on the real GeoNames data of libgeonames.
#include "files/atlas.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrolin {
namespace {

TEST(Atlas, WithoutTheLibraryTypedCoordinatesAreTheWay) {
    if (atlas_built()) GTEST_SKIP() << "built with the atlas";
    std::string error;
    EXPECT_TRUE(atlas_query("Paris").empty());
    EXPECT_FALSE(atlas_lookup("Paris, France", &error));
    EXPECT_EQ(error.rfind(no_atlas_text, 0), 0u) << error;
}

// Completion: the name's words (accents and case ignored), then the state or country; largest first.
TEST(Atlas, CompletionByWordsLargestFirst) {
    if (!atlas_built()) GTEST_SKIP() << "built without the atlas";
    EXPECT_EQ(atlas_size(), 24361u);
    const std::string fr = "Île-de-France Region, France", us = "United States of America";
    const std::pair<const char*, std::vector<std::string>> cases[] = {  // the text, the first three places
        {"Paris", {"Paris, " + fr, "Paris, Texas, " + us, "Cormeilles-en-Parisis, " + fr}},
        {"paris, tex", {"Paris, Texas, " + us}}, {"Paris,US", {"Paris, Texas, " + us}},
        {"pARis ,, île", {"Paris, " + fr, "Cormeilles-en-Parisis, " + fr}},
        {"sao paulo", {"São Paulo, São Paulo, Brazil"}}, {"TROMSO", {"Tromsø, Troms og Finnmark, Norway"}},
        {"new yo", {"New York, New York, " + us, "West New York, New Jersey, " + us}},
        {"duc thinh", {"Quận Đức Thịnh, Đồng Tháp, Vietnam"}},
        {"", {}}, {" , France", {}}, {"\xff\xfe\x80 ?*", {}}, {"Paris, Atlantis", {}},
    };
    for (const auto& [text, expected] : cases) {
        std::vector<std::string> got;
        for (const auto& p : atlas_query(text, 3)) got.push_back(p.display_name());
        EXPECT_EQ(got, expected) << text;
    }
    const auto paris = atlas_query("Paris", 1).at(0);
    EXPECT_EQ(paris.zone + " " + std::to_string(paris.latitude) + " " + std::to_string(paris.longitude),
              "Europe/Paris 48.853410 2.348800");
}

TEST(Atlas, LookupTakesTheClearlyLargestOrListsCandidates) {
    if (!atlas_built()) GTEST_SKIP() << "built without the atlas";
    const std::pair<const char*, const char*> cases[] = {  // the text, the place or the error's beginning
        {"Paris, France", "Paris, Île-de-France Region, France"},
        {"paris", "Paris, Île-de-France Region, France"},  // 2.1 million against Texas's 25,000
        {"Springfield, Massachusetts, United States", "Springfield, Massachusetts, United States of America"},
        {"Buenos Aires, AR", "Buenos Aires, Buenos Aires F.D., Argentina"},
        {"San Pedro, Coahuila, Mexico", "San Pedro, Coahuila, Mexico"},  // two share all three names
        {"Springfield", "\"Springfield\" is ambiguous: none of the 8 places it names is clearly the largest; add "
                        "the state or the country, as in one of these:\n  Springfield, Missouri, United States"},
        {"Pari", "\"Pari\" is not a place in the atlas; did you mean one of these?\n  Paris, Île-de-France"},
        {"Paris, Germany", "\"Paris, Germany\" is not a place in the atlas"}, {"  ", "No place was given"},
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        const auto place = atlas_lookup(text, &error);
        EXPECT_EQ(place ? place->display_name() : error.substr(0, std::string(expected).size()), expected) << text;
        EXPECT_LE(std::count(error.begin(), error.end(), '\n'), 5) << error;
    }
    EXPECT_EQ(atlas_lookup("San Pedro, Coahuila, Mexico")->population, 48746);  // the larger
    // Whatever the completion offers, the lookup takes back.
    for (const char* prefix : {"San", "Spring", "Lon", "Al ", "Saint"}) {
        for (const auto& place : atlas_query(prefix, 40)) {
            std::string error;
            const auto back = atlas_lookup(place.display_name(), &error);
            EXPECT_EQ(back ? back->display_name() : error, place.display_name());
        }
    }
}

}  // namespace
}  // namespace tavrolin
