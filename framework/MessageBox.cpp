// The message-box service and its console default.
#include "framework/MessageBox.h"

#include "framework/MessageQueue.h"
#include "resources/StringTable.h"

#include <atomic>
#include <cstdio>

namespace fw {

namespace {

class CConsoleMessageBox : public IMessageBoxService
{
public:
    int Show(const std::string& text, unsigned type) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
        return UnshownAnswer(type);
    }
};

CConsoleMessageBox g_consoleBox;
std::atomic<IMessageBoxService*> g_pService{nullptr};
std::atomic<CMessageQueue*> g_pQueue{nullptr};

} // namespace

int UnshownAnswer(unsigned type)
{
    switch (type & kMbButtonMask)
    {
    case kMbYesNoCancel:
        return kIdCancel;
    case kMbYesNo:
        return kIdNo;
    default:
        return kIdOk;
    }
}

int IMessageBoxService::Show(const std::string&, unsigned type)
{
    return UnshownAnswer(type);
}

void SetMessageBoxService(IMessageBoxService* service)
{
    g_pService.store(service);
}

IMessageBoxService* GetMessageBoxService()
{
    IMessageBoxService* service = g_pService.load();
    return service ? service : &g_consoleBox;
}

void SetMessageBoxQueue(CMessageQueue* queue)
{
    g_pQueue.store(queue);
}

CMessageQueue* GetMessageBoxQueue()
{
    return g_pQueue.load();
}

int MessageBox(const std::string& text, unsigned type)
{
    return MessageBox(text, type, nullptr);
}

int MessageBox(const std::string& text, unsigned type, const std::atomic<BOOL>* stop)
{
    return MessageBox(SMessageBoxRequest{text, type, 0}, stop);
}

int MessageBox(uint32_t stringId, unsigned type)
{
    return MessageBox(SMessageBoxRequest{res::LoadString(stringId), type, stringId});
}

int MessageBox(const SMessageBoxRequest& request, const std::atomic<BOOL>* stop)
{
    auto show = [&] {
        if (stop && stop->load())
            return UnshownAnswer(request.m_nType);
        return GetMessageBoxService()->Show(request);
    };
    CMessageQueue* queue = g_pQueue.load();
    if (!queue || queue->IsOwnerThread())
        return show();
    int answer = UnshownAnswer(request.m_nType);
    queue->Call(nullptr, [&] { answer = show(); });
    return answer;
}

} // namespace fw
