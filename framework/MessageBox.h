// The message-box service: the one way the program shows a message or asks a question.
#pragma once

#include "platform/Types.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace fw {

class CMessageQueue;

// Buttons and icons of a message box; combine one of each.
enum : unsigned
{
    kMbOk = 0x00,
    kMbYesNoCancel = 0x03,
    kMbYesNo = 0x04,
    kMbIconHand = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconExclamation = 0x30,
    kMbIconInformation = 0x40,
    kMbButtonMask = 0x0F,
};

// Answers.
enum : int
{
    kIdOk = 1,
    kIdCancel = 2,
    kIdYes = 6,
    kIdNo = 7,
};

// One message box as asked for: its text, buttons and icon, and the string-table entry the
// text comes from, so that a front end can tell boxes apart without reading their texts.
struct SMessageBoxRequest
{
    std::string m_strText;
    unsigned m_nType = kMbOk;
    uint32_t m_nStringId = 0; // 0: a text of no string-table entry
};

// A front end overrides either Show: the request's, to see the string id, or the text's.
class IMessageBoxService
{
public:
    virtual ~IMessageBoxService() = default;
    // Shows the request's box and returns the button chosen; the default shows its text.
    virtual int Show(const SMessageBoxRequest& request)
    {
        return Show(request.m_strText, request.m_nType);
    }
    // Shows text with the given buttons and icon and returns the button chosen; the default
    // answers as a box that is not shown (Cancel to a question, else OK).
    virtual int Show(const std::string& text, unsigned type);
};

// Installs the service the program's message boxes go to; nullptr restores the default,
// which writes the text to stderr and answers OK, or Cancel for a question.
void SetMessageBoxService(IMessageBoxService* service);
IMessageBoxService* GetMessageBoxService();

// The UI thread's queue: a box asked for on any other thread is shown there and its answer
// handed back to the asking thread, which waits. nullptr shows boxes on the asking thread.
// The queue must outlive every box asked through it.
void SetMessageBoxQueue(CMessageQueue* queue);
CMessageQueue* GetMessageBoxQueue();

// Shows a text; returns the answer.
int MessageBox(const std::string& text, unsigned type);

// Shows a text from any thread; returns the answer. A box whose *stop is nonzero by the time
// the UI thread comes to it is not shown: a question is answered Cancel, any other box OK.
// The same answers come back when the UI thread drops the box unshown.
int MessageBox(const std::string& text, unsigned type, const std::atomic<BOOL>* stop);

// Shows string-table entry id; returns the answer.
int MessageBox(uint32_t stringId, unsigned type);

// Shows a request from any thread, with the stop rule above; returns the answer.
int MessageBox(const SMessageBoxRequest& request, const std::atomic<BOOL>* stop = nullptr);

// The answer of a box that is not shown: Cancel to a question with Cancel, No to one
// without, else OK.
int UnshownAnswer(unsigned type);

} // namespace fw
