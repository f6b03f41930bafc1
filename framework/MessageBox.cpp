// The message-box service and its console default.
#include "framework/MessageBox.h"

#include "resources/StringTable.h"

#include <atomic>
#include <cstdio>

namespace fw
{

namespace
{

class CConsoleMessageBox : public IMessageBoxService
{
public:
    int Show(const std::string& text, unsigned type) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
        return (type & kMbButtonMask) == kMbYesNoCancel ? kIdCancel : kIdOk;
    }
};

CConsoleMessageBox g_consoleBox;
std::atomic<IMessageBoxService*> g_pService{nullptr};

} // namespace

void SetMessageBoxService(IMessageBoxService* service)
{
    g_pService.store(service);
}

IMessageBoxService* GetMessageBoxService()
{
    IMessageBoxService* service = g_pService.load();
    return service ? service : &g_consoleBox;
}

int MessageBox(const std::string& text, unsigned type)
{
    return GetMessageBoxService()->Show(text, type);
}

int MessageBox(uint32_t stringId, unsigned type)
{
    return MessageBox(std::string(res::LoadString(stringId)), type);
}

} // namespace fw
