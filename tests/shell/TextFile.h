// Whole text files read and written by the shell's tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testing_fx {

inline std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Writes text to file, making its folders first.
inline void WriteAll(const std::filesystem::path& file, const std::string& text)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

} // namespace testing_fx
