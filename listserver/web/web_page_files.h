#pragma once
// The page's script and style, kept as real files in listserver/web/page/ and compiled in by
// the build (cmake/ReefEmbedFiles.cmake writes their bytes into a source of its own).

#include <string_view>

namespace reef::listserver::page_files {

extern const std::string_view kScript; // page/page.js
extern const std::string_view kStyle;  // page/page.css

} // namespace reef::listserver::page_files
