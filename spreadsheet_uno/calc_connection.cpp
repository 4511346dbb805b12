// The UNO back end: a Calc worksheet behind the Spreadsheet interface.
#include "spreadsheet_uno/calc_connection.h"
#include "spreadsheet_uno/uno_runtime.h"

#include <csignal>
#include <mutex>

#include <cppuhelper/bootstrap.hxx>
#include <osl/file.hxx>
#include <rtl/bootstrap.hxx>
#include <rtl/ustring.hxx>

#include <com/sun/star/awt/FontDescriptor.hpp>
#include <com/sun/star/awt/XDevice.hpp>
#include <com/sun/star/awt/XFont.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/Locale.hpp>
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

#include <algorithm>
#include <cmath>
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

// Runs one UNO call sequence: a closed office or document stops the export, anything else fails
// only this operation.
template <typename Call>
auto guarded(Call&& call) -> decltype(call()) {
    try {
        return call();
    } catch (const lang::DisposedException&) {
        throw SpreadsheetUnusable(lost_message);
    } catch (const uno::Exception& e) {
        throw SpreadsheetOperationFailed(from_ou(e.Message));
    }
}

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
    CalcSheet(uno::Reference<frame::XModel> model, uno::Reference<sheet::XSpreadsheet> sheet)
        : model_(std::move(model)), sheet_(std::move(sheet)) {
        uno::Reference<table::XColumnRowRange> ranges(sheet_, uno::UNO_QUERY_THROW);
        columns_ = ranges->getColumns();
        uno::Reference<util::XNumberFormatsSupplier> supplier(model_, uno::UNO_QUERY_THROW);
        number_formats_ = supplier->getNumberFormats();
        uno::Reference<util::XProtectable> protectable(sheet_, uno::UNO_QUERY);
        protected_ = protectable.is() && protectable->isProtected();
        unit_ = measure_character_unit(model_);
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
};

}  // namespace

}  // namespace tavrolin

// The module's entry point, looked up by the program when it loads the module.
extern "C" void tavrolin_calc_connect(const char* pipe_data, std::size_t pipe_size, tavrolin::SpreadsheetConnection* out) {
    using namespace tavrolin;
    const std::string_view pipe_name(pipe_data, pipe_size);
    // A write to the pipe of an office that has gone away must come back as an error of the
    // bridge, which stops the export with a message, not as a signal that ends this program.
    static std::once_flag ignore_sigpipe;
    std::call_once(ignore_sigpipe, [] { std::signal(SIGPIPE, SIG_IGN); });
    SpreadsheetConnection connection;
    const std::string pipe(pipe_name);
    try {
        const uno::Reference<uno::XComponentContext> local = local_context();
        const uno::Reference<bridge::XUnoUrlResolver> resolver = bridge::UnoUrlResolver::create(local);
        uno::Reference<uno::XComponentContext> remote(
            resolver->resolve(to_ou("uno:pipe,name=" + pipe + ";urp;StarOffice.ComponentContext")), uno::UNO_QUERY_THROW);
        const uno::Reference<frame::XDesktop2> desktop = frame::Desktop::create(remote);
        uno::Reference<sheet::XSpreadsheetDocument> document(desktop->getCurrentComponent(), uno::UNO_QUERY);
        if (!document.is()) {
            connection.detail = "LibreOffice answers on the pipe \"" + pipe + "\", but its current document is no spreadsheet";
            *out = std::move(connection);
            return;
        }
        uno::Reference<frame::XModel> model(document, uno::UNO_QUERY_THROW);
        uno::Reference<sheet::XSpreadsheetView> view(model->getCurrentController(), uno::UNO_QUERY_THROW);
        uno::Reference<sheet::XSpreadsheet> sheet = view->getActiveSheet();
        if (!sheet.is()) {
            connection.detail = "the spreadsheet has no active sheet";
            *out = std::move(connection);
            return;
        }
        connection.sheet = std::make_unique<CalcSheet>(model, sheet);
        connection.status = SpreadsheetConnection::Status::connected;
    } catch (const connection::NoConnectException& e) {
        connection.detail = "nothing accepts connections on the pipe \"" + pipe + "\" (" + from_ou(e.Message) + ")";
    } catch (const uno::Exception& e) {
        connection.detail = "LibreOffice on the pipe \"" + pipe + "\" did not answer as expected: " + from_ou(e.Message);
    } catch (const cppu::BootstrapException& e) {
        connection.status = SpreadsheetConnection::Status::no_back_end;
        connection.detail = "the LibreOffice UNO runtime could not be started: " + from_ou(e.getMessage());
    }
    *out = std::move(connection);
}
