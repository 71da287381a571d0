#include "list_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "build_error.h"
#include "escapes.h"

namespace cli {
namespace {

std::string read_file(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw ListError("cannot read " + python_repr(path) + ": " + std::strerror(errno));
    }
    std::string bytes;
    char block[64 * 1024];
    while (true) {
        const ssize_t count = ::read(fd, block, sizeof block);
        if (count > 0) {
            if (bytes.size() + static_cast<std::size_t>(count) > builder::MAX_LIST_FILE_BYTES) {
                ::close(fd);
                throw ListError("cannot use " + python_repr(path) + ": a list file holds at most " +
                                std::to_string(builder::MAX_LIST_FILE_BYTES) + " bytes");
            }
            bytes.append(block, static_cast<std::size_t>(count));
        } else if (count == 0) {
            break;
        } else if (errno != EINTR) {
            const int error = errno;
            ::close(fd);
            throw ListError("cannot read " + python_repr(path) + ": " + std::strerror(error));
        }
    }
    ::close(fd);
    return bytes;
}

// The number of the first line that is not well-formed UTF-8, or 0.
std::size_t first_line_not_utf8(std::string_view bytes) {
    std::size_t number = 1;
    while (!bytes.empty()) {
        const std::size_t end = std::min(bytes.find('\n'), bytes.size());
        if (!is_utf8(bytes.substr(0, end))) {
            return number;
        }
        bytes.remove_prefix(std::min(end + 1, bytes.size()));
        ++number;
    }
    return 0;
}

}  // namespace

builder::TableBuild compile_list_file(std::string_view path) {
    const std::string name(path);
    const std::string bytes = read_file(name);
    const std::string where = "the list " + python_repr(name);
    if (const std::size_t line = first_line_not_utf8(bytes)) {
        throw ListError(where + " is not UTF-8 (line " + std::to_string(line) + ")");
    }
    try {
        return builder::build_table(bytes);
    } catch (const builder::BuildError& error) {
        throw ListError("cannot compile " + where + ": " + error.what());
    }
}

std::string default_list_path() {
    const char* data_home = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data_home != nullptr && data_home[0] == '/') {
        base = data_home;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = std::string(home) + "/.local/share";
    } else {
        throw ListError("--list without FILE: neither XDG_DATA_HOME nor HOME is set");
    }
    return base + "/lookup-psl/public_suffix_list.dat";
}

}  // namespace cli
