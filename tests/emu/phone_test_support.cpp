#include "phone_test_support.h"

#include <algorithm>

namespace phone_test {

std::string Pattern(size_t size, int seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = char((i * 7 + seed * 13 + (i >> 9)) & 0xFF);
    return s;
}

}  // namespace phone_test
