#include "engine/swe_api.h"

#include <mutex>
#include <vector>

#include <swephexp.h>

namespace tavrolin {

namespace {

std::mutex path_mutex;
std::string path_for_threads;  // empty until set_ephemeris_path

void apply_path(const std::string& path) {
    std::vector<char> buf(path.begin(), path.end());
    buf.push_back('\0');
    swe_set_ephe_path(buf.data());
}

}  // namespace

double LibSwe::deltat(double tjd) { return swe_deltat(tjd); }

int LibSwe::calc(double tjd, int ipl, int iflag, double* xx, char* serr) {
    return swe_calc(tjd, ipl, iflag, xx, serr);
}

void LibSwe::set_sid_mode(int sid_mode, double t0, double ayan_t0) { swe_set_sid_mode(sid_mode, t0, ayan_t0); }

std::string ephemeris_path_for(const std::string& program_folder) {
    std::string folder = program_folder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder + ":" + folder + "/ephe:/usr/share/libswe/ephe";
}

void set_ephemeris_path(const std::string& program_folder) { set_ephemeris_search_path(ephemeris_path_for(program_folder)); }

void set_ephemeris_search_path(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(path_mutex);
        path_for_threads = path;
    }
    apply_path(path);
}

void LibSwe::thread_started() {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(path_mutex);
        path = path_for_threads;
    }
    if (!path.empty()) apply_path(path);
}

void LibSwe::thread_finished() { swe_close(); }

std::string planet_name(int body_number) {
    char name[AS_MAXCH] = {0};
    swe_get_planet_name(body_number, name);
    return name;
}

}  // namespace tavrolin
