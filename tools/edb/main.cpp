// edb: creates, shows and edits .edb files. Arguments and output are UTF-8 on every system.
#include "runtime/text_codec.h"
#include "tools/edb/edb_tool.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

template <typename Char> int runWith(int argc, Char** argv) {
    try {
        std::vector<std::string> arguments;
        for (int i = 1; i < argc; ++i) {
            // UTF-16 on Windows, bytes elsewhere: the path type converts either to UTF-8.
            std::u8string utf8 = std::filesystem::path(argv[i]).u8string();
            arguments.emplace_back(utf8.begin(), utf8.end());
        }
        rudi::useUtf8Console();
        int code = rudi::edbtool::run(arguments, std::cout, std::cerr);
        std::cout.flush();
        return code;
    } catch (const std::exception& error) {
        std::cerr << "edb: " << error.what() << '\n';
        return 1;
    }
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return runWith(argc, argv);
}
#else
int main(int argc, char** argv) {
    return runWith(argc, argv);
}
#endif
