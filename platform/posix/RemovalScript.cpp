// The removal script on Linux: POSIX sh.
#include "platform/RemovalScript.h"

#include "platform/ReplaceFile.h"

namespace platform {

namespace {

// A shell word that stands for text exactly, whatever it holds.
std::string Quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
    {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

} // namespace

const char* RemovalScriptName()
{
    return "rtmdel.sh";
}

std::string RemovalScriptText(int processId, const std::string& executable,
                              const std::string& logFile, const std::string& folder,
                              const std::string& scriptPath)
{
    const std::string exe = Quote(executable);
    std::string text = "#!/bin/sh\n";
    // The program may still be writing its last log line; wait for it to end (at most ten
    // minutes, in case its process id was taken by another program meanwhile).
    text += "n=0\n";
    text += "while kill -0 " + std::to_string(processId) +
            " 2>/dev/null && [ $n -lt 600 ]; do sleep 1; n=$((n+1)); done\n";
    // Clear the read-only mark and delete, again while the file is there (at most a minute).
    text += "n=0\n";
    text += "while [ -e " + exe + " ] || [ -L " + exe + " ]; do\n";
    text += "  chmod u+w " + exe + " 2>/dev/null\n";
    text += "  rm -f " + exe + "\n";
    text += "  if [ -e " + exe + " ] && [ $n -lt 60 ]; then sleep 1; n=$((n+1)); else break; fi\n";
    text += "done\n";
    text += "rm -f " + Quote(logFile) + "\n";
    text += "rmdir " + Quote(folder) + " 2>/dev/null\n";
    text += "rm -f " + Quote(scriptPath) + "\n";
    return text;
}

bool WriteScriptFile(const std::string& path, const std::string& text)
{
    return ReplaceFile(path, text, 0700);
}

} // namespace platform
