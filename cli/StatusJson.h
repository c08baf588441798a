#pragma once

#include <string>

class Tarn_Inputs;

/// The status record as one JSON object (UTF-8) with typed fields: numbers, ISO 8601 dates,
/// booleans. The administrative fields are null for firmware that does not report them.
class StatusJson
{
public:
    static std::string Text(const Tarn_Inputs& inputs);
};
