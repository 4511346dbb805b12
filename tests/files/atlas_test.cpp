// The atlas of places, on the real GeoNames data of libgeonames.
#include "files/atlas.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrolin {
namespace {

std::vector<std::string> names(const std::vector<AtlasPlace>& places) {
    std::vector<std::string> out;
    for (const auto& p : places) out.push_back(p.display_name());
    return out;
}

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
    struct Case { const char* text; std::size_t limit; std::vector<std::string> first; std::size_t count; };
    const Case cases[] = {
        {"Paris", 20, {"Paris, Île-de-France Region, France", "Paris, Texas, United States of America",
                       "Cormeilles-en-Parisis, Île-de-France Region, France", "Fond Parisien, Ouest, Haiti"}, 4},
        {"paris, tex", 20, {"Paris, Texas, United States of America"}, 1},
        {"Paris,US", 20, {"Paris, Texas, United States of America"}, 1},
        {"pARis ,, île", 20, {"Paris, Île-de-France Region, France", "Cormeilles-en-Parisis, Île-de-France Region, France"}, 2},
        {"sao paulo", 20, {"São Paulo, São Paulo, Brazil"}, 1},
        {"TROMSO", 20, {"Tromsø, Troms og Finnmark, Norway"}, 1},
        {"new yo", 20, {"New York, New York, United States of America", "West New York, New Jersey, United States of America"}, 2},
        {"duc thinh", 20, {"Quận Đức Thịnh, Đồng Tháp, Vietnam"}, 1},
        {"Springfield", 3, {"Springfield, Missouri, United States of America",
                            "Springfield, Massachusetts, United States of America",
                            "Springfield, Illinois, United States of America"}, 3},
        {"", 20, {}, 0},
        {" , France", 20, {}, 0},
        {"\xff\xfe\x80 ?*", 20, {}, 0},
        {"Paris, Atlantis", 20, {}, 0},
    };
    for (const auto& c : cases) {
        const auto found = atlas_query(c.text, c.limit);
        EXPECT_EQ(found.size(), c.count) << c.text;
        auto got = names(found);
        got.resize(std::min(got.size(), c.first.size()));
        EXPECT_EQ(got, c.first) << c.text;
    }
    const auto paris = atlas_query("Paris", 1).at(0);
    EXPECT_EQ(paris.zone, "Europe/Paris");
    EXPECT_NEAR(paris.latitude, 48.8534, 1e-4);
    EXPECT_NEAR(paris.longitude, 2.3488, 1e-4);
    const auto many = atlas_query("a", 500);
    ASSERT_EQ(many.size(), 500u);
    for (std::size_t i = 1; i < many.size(); ++i) EXPECT_GE(many[i - 1].population, many[i].population) << i;
}

TEST(Atlas, LookupTakesTheClearlyLargestOrListsCandidates) {
    if (!atlas_built()) GTEST_SKIP() << "built without the atlas";
    const std::pair<const char*, const char*> found[] = {
        {"Paris, France", "Paris, Île-de-France Region, France"},
        {"paris", "Paris, Île-de-France Region, France"},  // 2.1 million against Texas's 25,000
        {"Paris, Texas", "Paris, Texas, United States of America"},
        {"London", "London, England, United Kingdom"},
        {"Springfield, Missouri", "Springfield, Missouri, United States of America"},
        {"Springfield, Massachusetts, United States", "Springfield, Massachusetts, United States of America"},
        {"Buenos Aires, AR", "Buenos Aires, Buenos Aires F.D., Argentina"},
        // Two places share all three names: the larger.
        {"San Pedro, Coahuila, Mexico", "San Pedro, Coahuila, Mexico"},
    };
    for (const auto& [text, name] : found) {
        std::string error;
        const auto place = atlas_lookup(text, &error);
        ASSERT_TRUE(place) << text << ": " << error;
        EXPECT_EQ(place->display_name(), name) << text;
    }
    EXPECT_EQ(atlas_lookup("San Pedro, Coahuila, Mexico")->population, 48746);

    const std::pair<const char*, const char*> refused[] = {
        {"Springfield",
         "\"Springfield\" is ambiguous: none of the 8 places it names is clearly the largest; add the state or the "
         "country, as in one of these:\n  Springfield, Missouri, United States of America\n  Springfield, "
         "Massachusetts, United States of America\n  Springfield, Illinois, United States of America\n  Springfield, "
         "Oregon, United States of America\n  Springfield, Ohio, United States of America"},
        {"Pari", "\"Pari\" is not a place in the atlas; did you mean one of these?\n  Paris, Île-de-France Region, France\n"},
        {"Paris, Germany", "\"Paris, Germany\" is not a place in the atlas"},
        {"Xqzzy", "\"Xqzzy\" is not a place in the atlas"},
        {"  ", "No place was given"},
    };
    for (const auto& [text, message] : refused) {
        std::string error;
        EXPECT_FALSE(atlas_lookup(text, &error)) << text;
        EXPECT_EQ(error.substr(0, std::string(message).size()), message) << text;
    }
    // Whatever the completion offers, the lookup takes back.
    for (const char* prefix : {"San", "Spring", "Lon", "Al ", "Saint"}) {
        for (const auto& place : atlas_query(prefix, 40)) {
            std::string error;
            const auto back = atlas_lookup(place.display_name(), &error);
            ASSERT_TRUE(back) << place.display_name() << ": " << error;
            EXPECT_EQ(back->display_name(), place.display_name());
        }
    }
}

}  // namespace
}  // namespace tavrolin
