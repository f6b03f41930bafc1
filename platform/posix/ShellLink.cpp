// Shortcuts on Linux: desktop entry files.
#include "platform/ShellLink.h"

#include "platform/ReplaceFile.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

namespace {

constexpr int kFailed = -2147467259; // the shell's general failure code, 0x80004005

// A value of type string or localestring: backslash, and the control characters a line
// cannot hold, escaped.
std::string EscapeValue(const std::string& text)
{
    std::string out;
    for (char c : text)
    {
        switch (c)
        {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The Exec key's program argument: quoted when it holds a character the key reserves, with
// the characters special inside quotes escaped, and '%' doubled (field codes); then escaped as
// any string value.
std::string ExecArgument(const std::string& path)
{
    std::string quoted;
    bool needsQuotes = false;
    for (char c : path)
    {
        if (c == '%')
        {
            quoted += "%%";
            continue;
        }
        if (std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos)
            needsQuotes = true;
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return EscapeValue(needsQuotes ? "\"" + quoted + "\"" : quoted);
}

// The icon: the program's picture beside it in a portable folder, else the icon theme's.
std::string IconFor(const fs::path& target)
{
    std::error_code ec;
    const fs::path beside = target.parent_path() / "ratemark.png";
    if (fs::is_regular_file(beside, ec))
        return beside.string();
    return "ratemark";
}

} // namespace

const char* ShortcutExtension()
{
    return ".desktop";
}

int CreateShellLink(const std::string& target, const std::string& linkPath,
                    const std::string& description)
{
    const fs::path targetPath(target);
    std::string folder = targetPath.parent_path().string();
    if (!folder.empty() && folder.back() != '/')
        folder += '/';

    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n";
    text += "Name=" + EscapeValue(description) + "\n";
    text += "Comment=" + EscapeValue(description) + "\n";
    text += "Exec=" + ExecArgument(target) + "\n";
    text += "Path=" + EscapeValue(folder) + "\n";
    text += "Icon=" + EscapeValue(IconFor(targetPath)) + "\n";
    text += "Terminal=false\n";
    text += "Categories=System;Utility;\n";

    // Menu folders such as ~/.local/share/applications are made when first needed.
    const fs::path link(linkPath);
    std::error_code ec;
    fs::create_directories(link.parent_path(), ec);

    // Replaced whole; a link file that is a symbolic link is replaced, never written through.
    return ReplaceFile(linkPath, text, 0744) ? 0 : kFailed;
}

} // namespace platform
