// The message-box service on wx: a modal message dialog titled "Ratemark".
#pragma once

#include "framework/MessageBox.h"

class CWxMessageBoxService : public fw::IMessageBoxService
{
public:
    // Shows text over the application's top window; returns kIdOk, kIdYes, kIdNo or kIdCancel.
    int Show(const std::string& text, unsigned type) override;
};

// The wx dialog style of a message-box type: its buttons and its icon.
long WxMessageBoxStyle(unsigned type);
