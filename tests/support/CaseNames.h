#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace lanscope::test {

// A parameterised case's `name` made into a test name (letters and digits).
struct CaseName {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        std::string name = info.param.name;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) {
                c = '_';
            }
        }
        return name;
    }
};

}  // namespace lanscope::test
