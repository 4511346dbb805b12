#include "output/event_text.h"

#include <array>
#include <cmath>
#include <string_view>

#include "engine/control_values.h"
#include "engine/house_ingresses.h"

namespace tavrolin {

namespace {

constexpr std::array<std::string_view, 12> sign_names = {"Aries", "Taurus", "Gemini", "Cancer", "Leo", "Virgo",
                                                         "Libra", "Scorpio", "Sagittarius", "Capricorn",
                                                         "Aquarius", "Pisces"};

std::string eclipse_words(EclipseType t) {
    switch (t) {
        case EclipseType::total_solar: return "total solar";
        case EclipseType::annular_solar: return "annular solar";
        case EclipseType::hybrid_solar: return "hybrid solar";
        case EclipseType::partial_solar: return "partial solar";
        case EclipseType::total_lunar: return "total lunar";
        case EclipseType::partial_lunar: return "partial lunar";
        case EclipseType::penumbral_lunar: return "penumbral lunar";
        case EclipseType::none: break;
    }
    return "unknown";
}

std::string phase_word(LunationPhase p) {
    switch (p) {
        case LunationPhase::new_moon: return "new";
        case LunationPhase::first_quarter: return "first quarter";
        case LunationPhase::full_moon: return "full";
        case LunationPhase::last_quarter: return "last quarter";
    }
    return "new";
}

std::string body_name(int body) {
    if (body < 0 || body > last_body_index) return "Body " + std::to_string(body);
    return ControlValues::body_caption(body);
}

}  // namespace

std::string sign_name(int sign) {
    if (sign < 1 || sign > 12) return std::string();
    return std::string(sign_names[static_cast<std::size_t>(sign - 1)]);
}

std::string event_words(const SkyEvent& e) {
    std::string words;
    switch (e.kind) {
        case SkyEventKind::station:
            words = body_name(e.body) + (e.retrograde ? " stations retrograde" : " stations direct");
            break;
        case SkyEventKind::ingress:
            words = body_name(e.body) + " enters " + sign_name(e.sign) + (e.retrograde ? " (retrograde)" : "");
            break;
        case SkyEventKind::lunation:
            switch (e.phase) {
                case LunationPhase::new_moon: words = "New Moon"; break;
                case LunationPhase::first_quarter: words = "First Quarter Moon"; break;
                case LunationPhase::full_moon: words = "Full Moon"; break;
                case LunationPhase::last_quarter: words = "Last Quarter Moon"; break;
            }
            break;
        case SkyEventKind::eclipse: {
            words = eclipse_words(e.eclipse) + " eclipse";
            words[0] = static_cast<char>(words[0] - 'a' + 'A');
            break;
        }
        case SkyEventKind::void_of_course: words = "Moon void of course"; break;
        case SkyEventKind::house_ingress:
            words = house_ingress_text({e.body, e.jd, e.longitude, e.house, e.house_left, e.retrograde});
            break;
    }
    if (e.natal_point >= 0) words += " on natal " + body_name(e.natal_point);
    return words;
}

std::string event_kind_word(const SkyEvent& e) {
    switch (e.kind) {
        case SkyEventKind::station: return "station";
        case SkyEventKind::ingress: return "ingress";
        case SkyEventKind::lunation: return "lunation";
        case SkyEventKind::eclipse: return "eclipse";
        case SkyEventKind::void_of_course: return "void_of_course";
        case SkyEventKind::house_ingress: return "house_ingress";
    }
    return "station";
}

std::string event_detail_word(const SkyEvent& e) {
    switch (e.kind) {
        case SkyEventKind::station: return e.retrograde ? "retrograde" : "direct";
        case SkyEventKind::ingress: return sign_name(e.sign) + (e.retrograde ? " (retrograde)" : "");
        case SkyEventKind::lunation: return phase_word(e.phase);
        case SkyEventKind::eclipse: return eclipse_words(e.eclipse);
        case SkyEventKind::void_of_course: return "void of course";
        case SkyEventKind::house_ingress:
            return "house " + std::to_string(e.house) + (e.retrograde ? " (retrograde)" : "");
    }
    return std::string();
}

std::string degree_in_sign(double longitude) {
    long long m = static_cast<long long>(std::floor(longitude * 60.0 + 1e-9));
    m = ((m % 21600) + 21600) % 21600;
    const long long d = m / 60;
    return std::to_string(d % 30) + "\u00B0" + (m % 60 < 10 ? "0" : "") + std::to_string(m % 60) + "' " +
           sign_name(static_cast<int>(d / 30) + 1);
}

}  // namespace tavrolin
