#include "long_names.h"

namespace bench {

std::string make_long_name(std::size_t labels, LabelText text) {
    const std::string label = text == LabelText::Ascii ? "WwW-Host" : "ÄRGER-Öl";
    std::string name;
    for (std::size_t i = 0; i + 3 < labels; ++i) {
        name += label;
        name += std::to_string(i % 10);
        name += '.';
    }
    name += "Example.CO.UK";
    return name;
}

}  // namespace bench
