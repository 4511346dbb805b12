// Text conversions and the local UNO runtime, shared by the Calc back end and its tests.
#pragma once

#include <string>
#include <string_view>

#include <rtl/ustring.hxx>

#include <com/sun/star/uno/Reference.hxx>
#include <com/sun/star/uno/XComponentContext.hpp>

namespace tavrolin {

rtl::OUString to_ou(std::string_view text);
std::string from_ou(const rtl::OUString& text);
rtl::OUString file_url(const std::string& path);

// The local UNO runtime, started once per process and kept to its end.
css::uno::Reference<css::uno::XComponentContext> local_context();

}  // namespace tavrolin
