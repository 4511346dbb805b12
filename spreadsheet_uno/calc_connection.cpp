// The UNO back end: a Calc worksheet behind the Spreadsheet interface.
#include "spreadsheet_uno/calc_connection.h"
#include "spreadsheet_uno/uno_runtime.h"

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>
#include <osl/file.hxx>
#include <rtl/bootstrap.hxx>
#include <rtl/ustring.hxx>

#include <com/sun/star/awt/FontDescriptor.hpp>
#include <com/sun/star/awt/XDevice.hpp>
#include <com/sun/star/awt/XFont.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/connection/XConnection.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/CellHoriJustify.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/util/CellProtection.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/util/XProtectable.hpp>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>

#ifndef TAVROLIN_LO_PROGRAM_DIR
#error "TAVROLIN_LO_PROGRAM_DIR must name LibreOffice's program folder"
#endif

namespace tavrolin {

rtl::OUString to_ou(std::string_view text) {
    return rtl::OUString(text.data(), static_cast<sal_Int32>(text.size()), RTL_TEXTENCODING_UTF8);
}

std::string from_ou(const rtl::OUString& text) { return rtl::OUStringToOString(text, RTL_TEXTENCODING_UTF8).getStr(); }

rtl::OUString file_url(const std::string& path) {
    rtl::OUString url;
    osl::FileBase::getFileURLFromSystemPath(to_ou(path), url);
    return url;
}

// The local UNO runtime, started once per process and kept to its end.
css::uno::Reference<css::uno::XComponentContext> local_context() {
    static const auto* context = [] {
        // Without the office API types in the local type manager the first call into them
        // crashes instead of failing, so both registries are named here.
        const std::string program = TAVROLIN_LO_PROGRAM_DIR;
        rtl::Bootstrap::set("UNO_TYPES", file_url(program + "/types.rdb") + " " + file_url(program + "/types/offapi.rdb"));
        return new css::uno::Reference<css::uno::XComponentContext>(cppu::defaultBootstrap_InitialComponentContext());
    }();
    return *context;
}

namespace {

using namespace com::sun::star;
using rtl::OUString;

constexpr sal_Int32 mm100_per_inch = 2540;
constexpr double points_per_inch = 72.0;

const char* const lost_message = "the connection to LibreOffice Calc was lost (was Calc or the document closed?)";

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string seconds_text(milliseconds time) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(time.count()) / 1000.0);
    return text;
}

// The office's pipe as the bridge's connection, on a socket of our own: closing it shuts the
// socket down, which wakes the bridge's reader even when the office has stopped answering, and
// the socket tells who is at its other end.
class SocketConnection final : public cppu::WeakImplHelper1<connection::XConnection> {
public:
    explicit SocketConnection(int fd) : fd_(fd) {}
    ~SocketConnection() override { ::close(fd_); }

    sal_Int32 read(uno::Sequence<sal_Int8>& data, sal_Int32 count) override {
        data.realloc(count);
        sal_Int32 done = 0;
        while (done < count) {
            const ssize_t n = ::recv(fd_, data.getArray() + done, static_cast<std::size_t>(count - done), 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw io::IOException("the pipe to LibreOffice was closed");
            done += static_cast<sal_Int32>(n);
        }
        return done;
    }
    void write(const uno::Sequence<sal_Int8>& data) override {
        sal_Int32 done = 0;
        while (done < data.getLength()) {
            const ssize_t n = ::send(fd_, data.getConstArray() + done, static_cast<std::size_t>(data.getLength() - done), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw io::IOException("the pipe to LibreOffice was closed");
            done += static_cast<sal_Int32>(n);
        }
    }
    void flush() override {}
    // The descriptor itself is closed only with the object, so that its number is not reused
    // while the bridge's threads may still use it.
    void close() override { ::shutdown(fd_, SHUT_RDWR); }
    OUString getDescription() override { return "tavrolin"; }

private:
    const int fd_;
};

// Connects a socket to the pipe; the user id of the process that listens there, or an error.
int connect_pipe(const std::string& path, uid_t& peer, std::string& error) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        error = std::strerror(ENAMETOOLONG);
        ::close(fd);
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        error = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return -1;
    }
    peer = credentials.uid;
    return fd;
}

// The connection to the office and the bridge over it. Closing them from another thread is the
// one way to end a call that waits for an office that does not answer: the call then fails.
class Link {
public:
    // False when the link was closed already; the connection is closed then too.
    bool keep(const uno::Reference<connection::XConnection>& connection) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!closed_) {
                connection_ = connection;
                return true;
            }
        }
        connection->close();
        return false;
    }
    bool keep(const uno::Reference<lang::XComponent>& bridge) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!closed_) {
                bridge_ = bridge;
                return true;
            }
        }
        bridge->dispose();
        return false;
    }
    void close() {
        uno::Reference<connection::XConnection> connection;
        uno::Reference<lang::XComponent> bridge;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
            connection = std::move(connection_);
            bridge = std::move(bridge_);
        }
        try {
            if (connection.is()) connection->close();
            if (bridge.is()) bridge->dispose();
        } catch (const uno::Exception&) {
            // Closed already from the other side.
        }
    }

private:
    std::mutex mutex_;
    bool closed_ = false;
    uno::Reference<connection::XConnection> connection_;
    uno::Reference<lang::XComponent> bridge_;
};

// Watches the calls into the office: one that has not returned within the time-out, or is
// waiting when the caller cancels, is ended by closing the link.
class CallWatch {
public:
    CallWatch(std::shared_ptr<Link> link, const CalcConnectOptions& options)
        : link_(std::move(link)), timeout_(options.timeout), cancel_(options.cancel), thread_([this] { watch(); }) {}
    ~CallWatch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    CallWatch(const CallWatch&) = delete;
    CallWatch& operator=(const CallWatch&) = delete;

    void begin() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            deadline_ = Clock::now() + timeout_;
            active_ = true;
        }
        wake_.notify_all();
    }
    void end() {
        std::lock_guard<std::mutex> lock(mutex_);
        active_ = false;
    }
    // Why the link was closed; empty while it is open.
    std::string ended() {
        std::lock_guard<std::mutex> lock(mutex_);
        return ended_;
    }

private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_) {
            if (!active_ || !ended_.empty()) {
                wake_.wait(lock);
                continue;
            }
            const bool cancelled = cancel_ && cancel_->load();
            if (cancelled || Clock::now() >= deadline_) {
                ended_ = cancelled ? "cancelled" : "LibreOffice Calc did not answer within " + seconds_text(timeout_) + " s";
                lock.unlock();
                link_->close();
                lock.lock();
                continue;
            }
            // Looks at the cancel flag every 50 ms.
            wake_.wait_until(lock, std::min(deadline_, Clock::now() + milliseconds(50)));
        }
    }

    std::shared_ptr<Link> link_;
    const milliseconds timeout_;
    const std::shared_ptr<std::atomic<bool>> cancel_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false, active_ = false;
    Clock::time_point deadline_;
    std::string ended_;
    std::thread thread_;  // last: it starts once everything it uses is there
};

// How wide a character unit is: the widest digit of the default cell style's font, and the room
// the cell keeps free at its left and right edges.
struct CharacterUnit {
    double digit_mm100 = 196.0;  // a 10-point digit of the usual sans-serif default font
    double margins_mm100 = 71.0;  // 20 twips each side
};

CharacterUnit measure_character_unit(const uno::Reference<frame::XModel>& model) {
    CharacterUnit unit;
    try {
        uno::Reference<style::XStyleFamiliesSupplier> families(model, uno::UNO_QUERY_THROW);
        uno::Reference<container::XNameAccess> cell_styles(families->getStyleFamilies()->getByName("CellStyles"),
                                                           uno::UNO_QUERY_THROW);
        uno::Reference<beans::XPropertySet> default_style(cell_styles->getByName("Default"), uno::UNO_QUERY_THROW);
        sal_Int32 left = 0;
        sal_Int32 right = 0;
        if ((default_style->getPropertyValue("ParaLeftMargin") >>= left) &&
            (default_style->getPropertyValue("ParaRightMargin") >>= right))
            unit.margins_mm100 = left + right;

        OUString font_name;
        float font_points = 0.0f;
        default_style->getPropertyValue("CharFontName") >>= font_name;
        default_style->getPropertyValue("CharHeight") >>= font_points;
        uno::Reference<beans::XPropertySet> document(model, uno::UNO_QUERY_THROW);
        uno::Reference<awt::XDevice> device(document->getPropertyValue("ReferenceDevice"), uno::UNO_QUERY_THROW);
        // Widths come in the device's unit, which is also the unit of the font height asked for:
        // measured against a large height, their ratio is the digit's width per point of size.
        constexpr sal_Int16 probe_height = 2000;
        awt::FontDescriptor descriptor;
        descriptor.Name = font_name;
        descriptor.Height = probe_height;
        uno::Reference<awt::XFont> font = device->getFont(descriptor);
        sal_Int32 widest = 0;
        for (char16_t digit = u'0'; digit <= u'9'; ++digit) widest = std::max<sal_Int32>(widest, font->getCharWidth(digit));
        if (widest > 0 && font_points > 0.0f)
            unit.digit_mm100 = widest / double(probe_height) * font_points / points_per_inch * mm100_per_inch;
    } catch (const uno::Exception&) {
        // Keep the usual default font's measure.
    }
    return unit;
}

class CalcSheet final : public Spreadsheet {
public:
    CalcSheet(uno::Reference<frame::XModel> model, uno::Reference<sheet::XSpreadsheet> sheet, std::shared_ptr<Link> link,
              const CalcConnectOptions& options)
        : model_(std::move(model)), sheet_(std::move(sheet)), link_(link), watch_(std::make_unique<CallWatch>(link, options)) {
        uno::Reference<table::XColumnRowRange> ranges(sheet_, uno::UNO_QUERY_THROW);
        columns_ = ranges->getColumns();
        uno::Reference<util::XNumberFormatsSupplier> supplier(model_, uno::UNO_QUERY_THROW);
        number_formats_ = supplier->getNumberFormats();
        uno::Reference<util::XProtectable> protectable(sheet_, uno::UNO_QUERY);
        protected_ = protectable.is() && protectable->isProtected();
        unit_ = measure_character_unit(model_);
    }
    ~CalcSheet() override {
        watch_.reset();
        model_.clear();
        sheet_.clear();
        columns_.clear();
        number_formats_.clear();
        link_->close();
    }

    CellPosition active_cell() override {
        return guarded([&] {
            const uno::Reference<uno::XInterface> selection = model_->getCurrentSelection();
            uno::Reference<sheet::XCellRangeAddressable> range(selection, uno::UNO_QUERY);
            if (range.is()) {
                const table::CellRangeAddress address = range->getRangeAddress();
                return CellPosition{address.StartColumn, address.StartRow};
            }
            uno::Reference<sheet::XSheetCellRanges> ranges(selection, uno::UNO_QUERY);
            if (ranges.is()) {
                const uno::Sequence<table::CellRangeAddress> addresses = ranges->getRangeAddresses();
                if (addresses.getLength() > 0) return CellPosition{addresses[0].StartColumn, addresses[0].StartRow};
            }
            throw SpreadsheetOperationFailed("the selection is not a cell");
        });
    }

    void set_column_width(int column, double characters) override {
        guarded([&] {
            const auto width = static_cast<sal_Int32>(std::lround(characters * unit_.digit_mm100 + unit_.margins_mm100));
            column_properties(column)->setPropertyValue("Width", uno::Any(width));
        });
    }

    void centre_column(int column) override {
        guarded([&] { column_properties(column)->setPropertyValue("HoriJustify", uno::Any(table::CellHoriJustify_CENTER)); });
    }

    void set_column_number_format(int column, const std::string& pattern) override {
        guarded([&] { column_properties(column)->setPropertyValue("NumberFormat", uno::Any(format_key(pattern))); });
    }

    void set_cell_text(int column, int row, const std::string& text) override {
        guarded([&] {
            uno::Reference<beans::XPropertySet> cell(sheet_->getCellByPosition(column, row), uno::UNO_QUERY_THROW);
            // Calc ignores writes to locked cells of a protected sheet without a word; every
            // further cell would be lost the same way.
            if (protected_) {
                util::CellProtection protection;
                if ((cell->getPropertyValue("CellProtection") >>= protection) && protection.IsLocked)
                    throw SpreadsheetUnusable("the sheet is protected");
            }
            // What a user would type: Calc recognises numbers and dates by the document's locale
            // and gives a date its date format.
            cell->setPropertyValue("FormulaLocal", uno::Any(to_ou(text)));
        });
    }

private:
    // Runs one UNO call sequence: a closed office or document, or one that does not answer in
    // time, stops the export; anything else fails only this operation.
    template <typename Call>
    auto guarded(Call&& call) -> decltype(call()) {
        struct Watched {
            CallWatch& watch;
            explicit Watched(CallWatch& w) : watch(w) { watch.begin(); }
            ~Watched() { watch.end(); }
        } watched(*watch_);
        try {
            return call();
        } catch (const lang::DisposedException&) {
            const std::string ended = watch_->ended();
            throw SpreadsheetUnusable(ended.empty() ? lost_message : ended);
        } catch (const uno::Exception& e) {
            const std::string ended = watch_->ended();
            if (!ended.empty()) throw SpreadsheetUnusable(ended);
            throw SpreadsheetOperationFailed(from_ou(e.Message));
        }
    }

    uno::Reference<beans::XPropertySet> column_properties(int column) {
        return uno::Reference<beans::XPropertySet>(columns_->getByIndex(column), uno::UNO_QUERY_THROW);
    }

    // Patterns are written with "." as the decimal point, so they are read as en-US codes; a
    // German locale would take the point for a thousands separator.
    sal_Int32 format_key(const std::string& pattern) {
        const auto known = format_keys_.find(pattern);
        if (known != format_keys_.end()) return known->second;
        const lang::Locale en_us("en", "US", "");
        sal_Int32 key = number_formats_->queryKey(to_ou(pattern), en_us, false);
        if (key == -1) key = number_formats_->addNew(to_ou(pattern), en_us);
        format_keys_[pattern] = key;
        return key;
    }

    uno::Reference<frame::XModel> model_;
    uno::Reference<sheet::XSpreadsheet> sheet_;
    uno::Reference<table::XTableColumns> columns_;
    uno::Reference<util::XNumberFormats> number_formats_;
    bool protected_ = false;
    CharacterUnit unit_;
    std::map<std::string, sal_Int32> format_keys_;
    std::shared_ptr<Link> link_;
    std::unique_ptr<CallWatch> watch_;
};

// Finds the office's current spreadsheet over a link of its own; runs on a thread of its own, so
// that the caller can give up on an office that does not answer.
SpreadsheetConnection find_spreadsheet(const std::string& pipe, const std::shared_ptr<Link>& link,
                                       const CalcConnectOptions& options) {
    SpreadsheetConnection connection;
    try {
        const uno::Reference<uno::XComponentContext> local = local_context();
        const std::string path = calc_pipe_path(pipe);
        uid_t peer = 0;
        std::string error;
        const int fd = connect_pipe(path, peer, error);
        if (fd < 0) {
            connection.detail = "nothing accepts connections on the pipe \"" + pipe + "\" (" + path + ": " + error + ")";
            return connection;
        }
        const uno::Reference<connection::XConnection> pipe_connection(new SocketConnection(fd));
        if (peer != ::getuid()) {
            // The socket may be the user's own and still be served by another user's process.
            connection.status = SpreadsheetConnection::Status::refused;
            connection.detail = path + " is served by another user (uid " + std::to_string(peer) +
                                "), not by an office of yours: nothing is sent to it";
            return connection;
        }
        if (!link->keep(pipe_connection)) return connection;
        const uno::Reference<bridge::XBridge> bridge =
            bridge::BridgeFactory::create(local)->createBridge("", "urp", pipe_connection, nullptr);
        if (!link->keep(uno::Reference<lang::XComponent>(bridge, uno::UNO_QUERY_THROW))) return connection;
        uno::Reference<uno::XComponentContext> remote(bridge->getInstance("StarOffice.ComponentContext"), uno::UNO_QUERY_THROW);
        const uno::Reference<frame::XDesktop2> desktop = frame::Desktop::create(remote);
        uno::Reference<sheet::XSpreadsheetDocument> document(desktop->getCurrentComponent(), uno::UNO_QUERY);
        if (!document.is()) {
            connection.detail = "LibreOffice answers on the pipe \"" + pipe + "\", but its current document is no spreadsheet";
            return connection;
        }
        uno::Reference<frame::XModel> model(document, uno::UNO_QUERY_THROW);
        uno::Reference<sheet::XSpreadsheetView> view(model->getCurrentController(), uno::UNO_QUERY_THROW);
        uno::Reference<sheet::XSpreadsheet> sheet = view->getActiveSheet();
        if (!sheet.is()) {
            connection.detail = "the spreadsheet has no active sheet";
            return connection;
        }
        connection.sheet = std::make_unique<CalcSheet>(model, sheet, link, options);
        connection.status = SpreadsheetConnection::Status::connected;
    } catch (const uno::Exception& e) {
        connection.detail = "LibreOffice on the pipe \"" + pipe + "\" did not answer as expected: " + from_ou(e.Message);
    } catch (const cppu::BootstrapException& e) {
        connection.status = SpreadsheetConnection::Status::no_back_end;
        connection.detail = "the LibreOffice UNO runtime could not be started: " + from_ou(e.getMessage());
    }
    return connection;
}

// What the connecting thread hands back to the caller, which may have stopped waiting for it.
struct Attempt {
    std::mutex mutex;
    std::condition_variable done_signal;
    bool done = false;
    SpreadsheetConnection result;
    std::shared_ptr<Link> link = std::make_shared<Link>();
};

}  // namespace

}  // namespace tavrolin

// The module's entry point, looked up by the program when it loads the module.
extern "C" void tavrolin_calc_connect(const char* pipe_data, std::size_t pipe_size, const tavrolin::CalcConnectOptions* options,
                                      tavrolin::SpreadsheetConnection* out) {
    using namespace tavrolin;
    // A write to the pipe of an office that has gone away must come back as an error of the
    // bridge, which stops the export with a message, not as a signal that ends this program.
    static std::once_flag ignore_sigpipe;
    std::call_once(ignore_sigpipe, [] { std::signal(SIGPIPE, SIG_IGN); });
    const std::string pipe(pipe_data, pipe_size);
    // The connection is made on a thread of its own, and the caller waits for it with a deadline:
    // an office that accepts the connection but never answers would block the bridge's calls for
    // good. At the deadline the link is closed, which makes the blocked call fail and the thread end.
    const auto attempt = std::make_shared<Attempt>();
    std::thread([attempt, pipe, options = *options] {
        SpreadsheetConnection result = find_spreadsheet(pipe, attempt->link, options);
        std::lock_guard<std::mutex> lock(attempt->mutex);
        attempt->result = std::move(result);
        attempt->done = true;
        attempt->done_signal.notify_all();
    }).detach();

    const auto start = Clock::now();
    std::unique_lock<std::mutex> lock(attempt->mutex);
    std::string given_up;
    while (!attempt->done) {
        const auto waited = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
        if (options->cancel && options->cancel->load()) {
            given_up = "cancelled";
        } else if (waited >= options->timeout) {
            given_up = "LibreOffice on the pipe \"" + pipe + "\" did not answer within " + seconds_text(options->timeout) + " s";
        } else {
            if (options->progress) {
                lock.unlock();
                options->progress(waited);
                lock.lock();
            }
            attempt->done_signal.wait_until(lock, std::min(start + options->timeout, Clock::now() + milliseconds(50)));
            continue;
        }
        break;
    }
    if (attempt->done) {
        *out = std::move(attempt->result);
        return;
    }
    lock.unlock();
    attempt->link->close();
    SpreadsheetConnection connection;
    connection.status = SpreadsheetConnection::Status::refused;
    connection.detail = given_up;
    *out = std::move(connection);
}
