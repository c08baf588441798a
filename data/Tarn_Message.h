#pragma once

#include <string>

/// One entry of the message or event-code catalogue: the line "key=Text".
struct Tarn_Message
{
    std::string key;
    std::string Text;
};
