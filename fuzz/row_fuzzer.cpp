// lookup-psl's rows under arbitrary lines: the first byte chooses the
// format, --urls and the flags, the rest is the line as read (any bytes).
// Whatever the line, a row is one line of output: every separator inside a
// column is escaped, JSON rows are well-formed UTF-8 without raw control
// bytes, and a URL's host is a piece of the line.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "columns.h"
#include "escapes.h"
#include "fuzz_failure.h"
#include "rows.h"
#include "url_host.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view line) {
    fuzz::report_failure("row_fuzzer", what, "line", line);
}

#define CHECK(condition) FUZZ_CHECK(condition, fail, line)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t choice = data[0];
    const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);
    const lookup::SuffixTable table = lookup::compiled_table();
    cli::RowFormat format{&table, {}, static_cast<std::uint64_t>(choice >> 6), {}, (choice & 1) != 0, (choice & 2) != 0};
    format.flags.keep_case = (choice & 4) != 0;
    format.flags.icann_only = (choice & 8) != 0;
    format.flags.accept_unknown = (choice & 16) == 0;
    format.columns = cli::default_columns(format.urls, (choice & 32) != 0);

    cli::ByteBuffer out;
    cli::append_row(format, line, out);
    const std::string_view row = out.view();
    CHECK(!row.empty() && row.back() == '\n');
    CHECK(row.find('\n') == row.size() - 1);
    if (format.json) {
        CHECK(row.starts_with("{\"domain\": \"") && row.ends_with("}\n"));
        CHECK(cli::is_utf8(row));
        for (const char c : row.substr(0, row.size() - 1)) {
            CHECK(static_cast<unsigned char>(c) >= 0x20);
        }
    } else {
        std::size_t tabs = 0;
        for (const char c : row) {
            tabs += c == '\t';
        }
        CHECK(tabs == format.columns.size() - 1);
        CHECK(row.find('\r') == std::string_view::npos);
    }
    if (format.urls) {
        const cli::UrlHost host = cli::extract_host(line);
        CHECK(host.host.data() >= line.data() && host.host.data() + host.host.size() <= line.data() + line.size());
    }
    return 0;
}
