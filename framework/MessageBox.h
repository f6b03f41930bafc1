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

class IMessageBoxService
{
public:
    virtual ~IMessageBoxService() = default;
    // Shows text with the given buttons and icon and returns the button chosen.
    virtual int Show(const std::string& text, unsigned type) = 0;
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

} // namespace fw
