// --list FILE: a Public Suffix List file compiled at start by the builder
// library, answered from in place of the list built in.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "build.h"

namespace cli {

// Why a list file cannot be used, as a message for the user.
class ListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads and compiles `path`. Throws ListError when the file cannot be read,
// is not UTF-8, or has a line that the builder refuses.
builder::TableBuild compile_list_file(std::string_view path);

// Where `python -m lookup_psl update` writes the list: the user's data
// directory ($XDG_DATA_HOME, or ~/.local/share when that is unset or not
// absolute)/lookup-psl/public_suffix_list.dat. ListError without a home.
std::string default_list_path();

}  // namespace cli
