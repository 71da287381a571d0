// Argument binding for the shapes that the module's six functions do not
// have: positional-only and optional positional parameters, required
// keyword-only ones, a class name, no positional parameters at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bind_arguments.h"
#include "interpreter.h"

namespace lookup {
namespace {

constexpr std::string_view A_B[] = {"a", "b"};
constexpr KeywordParam K_M_N[] = {{"k", true}, {"m", false}, {"n", true}};
// Widget.f(a, /, b=..., *, k, m=..., n)
constexpr ParameterSpec METHOD{"f", "Widget", A_B, 1, 1, K_M_N};
// g()
constexpr ParameterSpec NOTHING{"g", {}, {}, 0, 0, {}};
constexpr std::string_view X_Y_Z[] = {"x", "y", "z"};
// h(x, y, z, /)
constexpr ParameterSpec THREE_ONLY{"h", {}, X_Y_Z, 3, 3, {}};

// Binds `positional` values and one value per keyword (each value the int
// of its place in the argument array). The slots as those places ("-" for
// an empty one), or the error as raised.
std::string bind(const ParameterSpec& spec, Py_ssize_t positional, const std::vector<std::string_view>& keywords) {
    std::vector<PyRef> values;
    std::vector<PyObject*> args;
    for (std::size_t i = 0; i < static_cast<std::size_t>(positional) + keywords.size(); ++i) {
        values.emplace_back(PyLong_FromSize_t(i));
        args.push_back(values.back().get());
    }
    PyRef names(keywords.empty() ? nullptr : PyTuple_New(static_cast<Py_ssize_t>(keywords.size())));
    for (std::size_t i = 0; i < keywords.size(); ++i) {
        PyTuple_SET_ITEM(names.get(), static_cast<Py_ssize_t>(i),
                         PyUnicode_DecodeUTF8(keywords[i].data(), static_cast<Py_ssize_t>(keywords[i].size()),
                                              "surrogatepass"));
    }
    PyObject* slots[MAX_SLOTS];
    Status status = bind_arguments(spec, args.data(), positional, names.get(), slots);
    if (!status.ok()) {
        return testing::raised_text(status.take_error());
    }
    std::string described;
    for (std::size_t i = 0; i < spec.slot_count(); ++i) {
        // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) about a sum of strings here.
        if (i != 0) {
            described += ' ';
        }
        described += slots[i] == nullptr ? std::string("-") : std::to_string(PyLong_AsSize_t(slots[i]));
    }
    return described;
}

TEST(BindArguments, ShapesBeyondTheModulesFunctions) {
    const struct {
        const ParameterSpec& spec;
        Py_ssize_t positional;
        std::vector<std::string_view> keywords;
        std::string expected;
    } cases[] = {
        {METHOD, 1, {"k", "n"}, "0 - 1 - 2"},
        {METHOD, 1, {"n", "b", "k", "m"}, "0 2 3 4 1"},
        {METHOD, 2, {"n", "k"}, "0 1 3 - 2"},
        {METHOD, 3, {"zz"}, "TypeError: Widget.f() takes from 1 to 2 positional arguments but 3 were given"},
        {METHOD, 1, {"k", "zz"}, "TypeError: Widget.f() got an unexpected keyword argument 'zz'"},
        {METHOD, 1, {"k\xed\xb3\xbf"}, "TypeError: Widget.f() got an unexpected keyword argument 'k\uFFFD\uFFFD\uFFFD'"},
        {METHOD, 2, {"b"}, "TypeError: Widget.f() got multiple values for argument 'b'"},
        {METHOD, 1, {"k", "k"}, "TypeError: Widget.f() got multiple values for argument 'k'"},
        {METHOD, 1, {"a", "k", "n"},
         "TypeError: Widget.f() got some positional-only arguments passed as keyword arguments: 'a'"},
        {METHOD, 0, {"a", "zz"}, "TypeError: Widget.f() got an unexpected keyword argument 'zz'"},
        {METHOD, 0, {"k", "n"}, "TypeError: Widget.f() missing 1 required positional argument: 'a'"},
        {METHOD, 0, {"b", "k", "n"}, "TypeError: Widget.f() missing 1 required positional argument: 'a'"},
        {METHOD, 2, {}, "TypeError: Widget.f() missing 2 required keyword arguments: 'k' and 'n'"},
        {METHOD, 1, {"n"}, "TypeError: Widget.f() missing 1 required keyword argument: 'k'"},
        {NOTHING, 0, {}, ""},
        {NOTHING, 1, {}, "TypeError: g() takes 0 positional arguments but 1 was given"},
        {THREE_ONLY, 3, {}, "0 1 2"},
        {THREE_ONLY, 0, {"z", "x", "y"},
         "TypeError: h() got some positional-only arguments passed as keyword arguments: 'z', 'x', and 'y'"},
        {THREE_ONLY, 1, {"y", "z"},
         "TypeError: h() got some positional-only arguments passed as keyword arguments: 'y' and 'z'"},
        {THREE_ONLY, 0, {}, "TypeError: h() missing 3 required positional arguments: 'x', 'y', and 'z'"},
        {THREE_ONLY, 1, {}, "TypeError: h() missing 2 required positional arguments: 'y' and 'z'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bind(c.spec, c.positional, c.keywords), c.expected)
            << c.spec.function_name << " with " << c.positional << " positional, " << c.keywords.size() << " keywords";
        EXPECT_EQ(testing::take_pending_text(), "");
    }
}

}  // namespace
}  // namespace lookup
