#include "data/EventListCsv.h"

#include "data/CsvWriter.h"
#include "data/EventLogReport.h"
#include "data/ExportText.h"
#include "data/Tarn_Inputs.h"

const std::vector<std::string>& EventListCsv::Columns()
{
    static const std::vector<std::string> columns{"serial", "firmware", "read_at",    "number",
                                                  "time",   "celsius",  "fahrenheit", "text"};
    return columns;
}

std::string EventListCsv::Firmware(double firmware)
{
    return firmware > 0 ? ExportText::Number(firmware) : std::string();
}

std::string EventListCsv::Text(const Source& source, const std::vector<Event>& events)
{
    CsvWriter csv(Columns());
    const std::string serial = ExportText::Latin1ToUtf8(source.serialNumber);
    const std::string firmware = Firmware(source.firmware);
    for (const Event& event : events) {
        const std::string number = std::to_string(event.number);
        if (event.lost) {
            csv.AddRow({serial,
                        firmware,
                        source.readAt,
                        number,
                        {},
                        {},
                        {},
                        EventLogReport::kLostEventText});
            continue;
        }
        csv.AddRow({serial, firmware, source.readAt, number, ExportText::ControllerTime(event.time),
                    ExportText::Number(event.celsius),
                    ExportText::Number(Tarn_Inputs::CelsiusToFahrenheit(event.celsius)),
                    ExportText::Latin1ToUtf8(event.text)});
    }
    return csv.Text();
}
