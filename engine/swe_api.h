// The few Swiss Ephemeris calls whose results depend on data files, behind an interface so that
// the engine's own logic can be tested with scripted motions.
#pragma once

#include <memory>
#include <string>

namespace tavrolin {

class SweApi {
public:
    virtual ~SweApi() = default;
    virtual double deltat(double tjd) = 0;
    // As swe_calc: fills xx[0..5], writes an error text into serr (256 bytes), returns the flags
    // used or a negative value on error.
    virtual int calc(double tjd, int ipl, int iflag, double* xx, char* serr) = 0;
    virtual void set_sid_mode(int sid_mode, double t0, double ayan_t0) = 0;

    // Another instance giving the same results, for use on another thread; nullptr when this
    // one cannot be used from other threads.
    virtual std::unique_ptr<SweApi> for_worker_thread() const { return nullptr; }
    // Called on a thread before its first call and after its last (see LibraryThreadScope).
    virtual void thread_started() {}
    virtual void thread_finished() {}

    // Whether positions move no faster than the real sky's (motion_bounds.h) and calls fail only
    // for whole stretches of time, never for a few hours between two good days (as outside the
    // library's data files): only then may the fast scan prove refinements futile.
    virtual bool motion_bounds_hold() const { return false; }
};

// The real library. It keeps its state per thread (Debian's build stores it thread-locally), so
// each thread sets the search path itself and closes its own files.
class LibSwe final : public SweApi {
public:
    double deltat(double tjd) override;
    int calc(double tjd, int ipl, int iflag, double* xx, char* serr) override;
    void set_sid_mode(int sid_mode, double t0, double ayan_t0) override;
    std::unique_ptr<SweApi> for_worker_thread() const override { return std::make_unique<LibSwe>(); }
    // Sets the search path last given to set_ephemeris_path.
    void thread_started() override;
    // Closes the files this thread opened.
    void thread_finished() override;
    bool motion_bounds_hold() const override { return true; }
};

// The library set up for the current thread for the life of the object.
class LibraryThreadScope {
public:
    explicit LibraryThreadScope(SweApi& api) : api_(api) { api_.thread_started(); }
    ~LibraryThreadScope() { api_.thread_finished(); }
    LibraryThreadScope(const LibraryThreadScope&) = delete;
    LibraryThreadScope& operator=(const LibraryThreadScope&) = delete;

private:
    SweApi& api_;
};

// The library's search path for a program in `program_folder`: the folder itself, its ephe/
// sub-folder, then the system's data; no trailing separator.
std::string ephemeris_path_for(const std::string& program_folder);

// Sets the library's search path (folders separated by ":") for the calling thread and keeps it
// for the threads that LibSwe::thread_started sets up later.
void set_ephemeris_search_path(const std::string& path);
// The same with the search path of a program in `program_folder`.
void set_ephemeris_path(const std::string& program_folder);

// The library's name of a body number ("Sun", "Eris", ...).
std::string planet_name(int body_number);

}  // namespace tavrolin
