// Cases kept as data: a folder of case files or case folders, one
// parameterized test per case, named after it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "support/sandbox.h"

// The cases in `dir`: the stems of its files with `extension`, or its
// sub-folders when `extension` is empty; sorted.
inline std::vector<std::string> data_cases(const std::string& dir,
                                           const std::string& extension = "") {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (extension.empty() ? entry.is_directory() : entry.path().extension() == extension)
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A case's name as a test name: what is not a letter or digit becomes "_".
inline std::string data_case_test_name(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

inline std::string read_or_empty(const std::filesystem::path& path) {
    return std::filesystem::exists(path) ? read_whole_file(path.string()) : "";
}
