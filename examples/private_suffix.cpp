// Reads names on standard input, one a line, and prints the private suffix
// of each (or "-" where there is none), one a line, from the list compiled
// into liblookup_psl, or from the list file named as the first argument.
#include <iostream>
#include <string>

#include <lookup_psl/lookup_psl.hpp>

int main(int argc, char** argv) {
    try {
        const lookup_psl::List list = argc > 1 ? lookup_psl::List::from_file(argv[1]) : lookup_psl::List::builtin();
        std::string line;
        while (std::getline(std::cin, line)) {
            std::optional<std::string> answer;
            try {
                answer = list.privatesuffix(line);
            } catch (const lookup_psl::Error& error) {
                if (error.status() != LOOKUP_PSL_E_UTF8) {
                    throw;
                }
            }
            std::cout << answer.value_or("-") << '\n';
        }
    } catch (const std::exception& error) {
        std::cerr << "private_suffix: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
