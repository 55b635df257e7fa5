// tarvex_driver.exe script.txt: runs the driver's steps of a script against tarvex.exe and prints
// each step's result. Exit code 0 when every step did what it asked, else the failing line.
#include <cstdio>
#include <fstream>

#include "tools/app_driver/app_driver.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarvex_driver script.txt\n");
        return 2;
    }
    std::ifstream file(argv[1]);
    if (!file) {
        std::fprintf(stderr, "tarvex_driver: cannot read %s\n", argv[1]);
        return 2;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    std::string log;
    const int failed = RunDriverScript(lines, log);
    std::fputs(log.c_str(), stdout);
    return failed;
}
