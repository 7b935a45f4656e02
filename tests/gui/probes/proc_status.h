#pragma once
// Peak resident memory of this process, from /proc (Linux), in kB; 0 when
// it cannot be read.

#include <fstream>
#include <string>

inline long peak_rss_kb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        std::getline(status, key);
    }
    return 0;
}
