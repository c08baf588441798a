#pragma once

#include <string>

/// One entry of the profile catalogue: the line "ID=Name|Profile" of [PROFILES].
struct Tarn_Profile
{
    std::string ID;
    std::string Name;
    std::string Profile;
};
