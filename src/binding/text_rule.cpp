#include "binding/text_rule.h"

#include <cstdint>

#include "lib/panic.h"
#include "lib/py_ref.h"

namespace lookup {
namespace {

constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::string decode_utf8_lossy(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        // Length of the sequence and the range allowed for its second byte,
        // which rules out overlong forms, surrogates and values past U+10FFFF.
        std::size_t length = 0;
        unsigned char second_low = 0x80;
        unsigned char second_high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) second_low = 0xA0;
            if (lead == 0xED) second_high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) second_low = 0x90;
            if (lead == 0xF4) second_high = 0x8F;
        }
        if (length == 0) {
            out.append(REPLACEMENT);
            ++i;
            continue;
        }
        std::size_t valid = 1;
        if (i + 1 < bytes.size()) {
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            if (second >= second_low && second <= second_high) {
                valid = 2;
                while (valid < length && i + valid < bytes.size() &&
                       is_continuation(static_cast<unsigned char>(bytes[i + valid]))) {
                    ++valid;
                }
            }
        }
        if (valid == length) {
            out.append(bytes.substr(i, length));
        } else {
            out.append(REPLACEMENT);
        }
        i += valid;
    }
    return out;
}

std::string text_of_str(PyObject* text) {
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size)) {
        return std::string(utf8, static_cast<std::size_t>(size));
    }
    PyErr_Clear();
    PyRef bytes(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
    if (!bytes) {
        fault_from_null();
    }
    return decode_utf8_lossy(
        std::string_view(PyBytes_AS_STRING(bytes.get()), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes.get()))));
}

std::string display_text(PyObject* object) {
    PyRef text(PyObject_Str(object));
    if (text) {
        return text_of_str(text.get());
    }
    PyErr_WriteUnraisable(object);
    PyRef name(PyType_GetName(Py_TYPE(object)));
    if (!name) {
        PyErr_Clear();
        return "<unprintable object>";
    }
    return "<unprintable " + text_of_str(name.get()) + " object>";
}

std::string qualified_name_text(PyTypeObject* type) {
    PyRef name(PyType_GetQualName(type));
    if (!name) {
        PyErr_Clear();
        return "<failed to extract type name>";
    }
    return text_of_str(name.get());
}

}  // namespace lookup
