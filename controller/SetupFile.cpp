#include "controller/SetupFile.h"

#include "controller/DisplayFormat.h"
#include "controller/StatusCycle.h"
#include "data/DateCodec.h"
#include "data/ProfileCompiler.h"
#include "data/SetupBlocks.h"
#include "data/SetupFields.h"
#include "data/Tarn_Inputs.h"
#include "data/TextNumbers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <initializer_list>

using namespace Qt::StringLiterals;

namespace {

QString Text(const std::string& latin1)
{
    return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size()));
}

QJsonValue DateValue(const std::optional<TarnDateTime>& date)
{
    return date ? QJsonValue(QString::fromStdString(SetupFile::DateText(*date))) : QJsonValue();
}

std::string TimeText(const TarnDateTime& t)
{
    return QStringLiteral("%1T%2:%3:%4")
        .arg(QString::fromStdString(SetupFile::DateText(t)))
        .arg(t.Hour(), 2, 10, QLatin1Char('0'))
        .arg(t.Minute(), 2, 10, QLatin1Char('0'))
        .arg(t.Second(), 2, 10, QLatin1Char('0'))
        .toStdString();
}

/// A controller date as the file keeps it: none for the zero date (never set).
std::optional<TarnDateTime> KnownDate(const TarnDateTime& date)
{
    if (date.IsZero())
        return std::nullopt;
    return date.DatePart();
}

/// The keys in the order a person reads the file: what it is, where it came from, the setup.
const QStringList& KeyOrder()
{
    static const QStringList order{u"format"_s,
                                   u"formatVersion"_s,
                                   u"source"_s,
                                   u"firmwareVersion"_s,
                                   u"serialNumber"_s,
                                   u"readTime"_s,
                                   u"program"_s,
                                   u"delays"_s,
                                   u"detectorAlarm"_s,
                                   u"detectorReset"_s,
                                   u"manualAlarm"_s,
                                   u"manualStop"_s,
                                   u"zones"_s,
                                   u"zone"_s,
                                   u"profile"_s,
                                   u"id"_s,
                                   u"name"_s,
                                   u"definition"_s,
                                   u"message"_s,
                                   u"outputs"_s,
                                   u"detectorVoltageSwitch"_s,
                                   u"dates"_s,
                                   u"installed"_s,
                                   u"lastService"_s,
                                   u"serviceBefore"_s,
                                   u"manufactured"_s,
                                   u"factory"_s};
    return order;
}

/// `value` as JSON text, objects with their keys in KeyOrder, one key a line; lists of
/// numbers on one line.
QByteArray Indented(const QJsonValue& value, int depth)
{
    constexpr int kIndent = 4;
    const QByteArray inner((depth + 1) * kIndent, ' ');
    const QByteArray outer(depth * kIndent, ' ');
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        QStringList keys = object.keys();
        std::stable_sort(keys.begin(), keys.end(), [](const QString& a, const QString& b) {
            return KeyOrder().indexOf(a) < KeyOrder().indexOf(b);
        });
        QByteArray text = "{";
        for (const QString& key : keys) {
            text += QByteArray(key == keys.first() ? "\n" : ",\n") + inner + Indented(key, depth) +
                    ": " + Indented(object.value(key), depth + 1);
        }
        return text + (keys.isEmpty() ? QByteArray("}") : "\n" + outer + "}");
    }
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        const bool flat = std::none_of(array.begin(), array.end(), [](const QJsonValue& v) {
            return v.isObject() || v.isArray();
        });
        QByteArray text = "[";
        for (qsizetype i = 0; i < array.size(); ++i) {
            text += i > 0 ? "," : "";
            text += flat ? QByteArray(i > 0 ? " " : "") : "\n" + inner;
            text += Indented(array.at(i), depth + 1);
        }
        return text + (flat || array.isEmpty() ? QByteArray("]") : "\n" + outer + "]");
    }
    // A scalar as QJsonDocument writes it, without the list around it.
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).chopped(1).mid(1);
}

/// Walks a parsed document; the first refusal is kept with the key it names.
class Reader
{
public:
    std::string errText;

    bool Fail(const QString& key, const QString& reason)
    {
        errText = (key + QStringLiteral(": ") + reason).toStdString();
        return false;
    }

    /// Every key present is one of `keys` and every one of `keys` is present.
    bool Keys(const QJsonObject& object, const QString& path,
              std::initializer_list<const char*> keys)
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            const bool known = std::any_of(keys.begin(), keys.end(), [&](const char* key) {
                return it.key() == QLatin1String(key);
            });
            if (!known)
                return Fail(Join(path, it.key()), QStringLiteral("unknown key"));
        }
        for (const char* key : keys) {
            if (!object.contains(QLatin1String(key)))
                return Fail(Join(path, QLatin1String(key)), QStringLiteral("missing"));
        }
        return true;
    }

    bool Object(const QJsonValue& value, const QString& key, QJsonObject& object)
    {
        if (!value.isObject())
            return Fail(key, QStringLiteral("must be an object"));
        object = value.toObject();
        return true;
    }

    bool Integer(const QJsonValue& value, const QString& key, long long low, long long high,
                 long long& number)
    {
        const double d = value.toDouble();
        if (!value.isDouble() || d != std::floor(d))
            return Fail(key, QStringLiteral("must be a whole number"));
        if (d < static_cast<double>(low) || d > static_cast<double>(high))
            return Fail(key, QStringLiteral("%1 is outside %2 to %3").arg(d).arg(low).arg(high));
        number = static_cast<long long>(d);
        return true;
    }

    /// A field the controller keeps in one byte. The setup window's narrower ranges are
    /// checks of a write: a value the controller holds stands in its file as it is.
    bool Byte(const QJsonValue& value, const QString& key, int& field)
    {
        long long number = 0;
        if (!Integer(value, key, 0, SetupFile::kMaxByte, number))
            return false;
        field = static_cast<int>(number);
        return true;
    }

    bool String(const QJsonValue& value, const QString& key, bool nullable,
                std::optional<std::string>& text)
    {
        text.reset();
        if (nullable && value.isNull())
            return true;
        if (!value.isString())
            return Fail(key, nullable ? QStringLiteral("must be a text or null")
                                      : QStringLiteral("must be a text"));
        const QString s = value.toString();
        const bool latin1 =
            std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 256; });
        if (!latin1)
            return Fail(key, QStringLiteral("has characters that Tarn.INI cannot hold"));
        text = s.toLatin1().toStdString();
        return true;
    }

    /// A date "yyyy-MM-dd" that Tarn can store, or null. Whether it may be written (not in
    /// the future, in order with the others) is a check of the write, not of the file.
    bool Date(const QJsonValue& value, const QString& key, std::optional<TarnDateTime>& date)
    {
        static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
            QStringLiteral("([0-9]{4})-([0-9]{2})-([0-9]{2})")));
        date.reset();
        if (value.isNull())
            return true;
        const QRegularExpressionMatch match = pattern.match(value.toString());
        if (!value.isString() || !match.hasMatch())
            return Fail(key, QStringLiteral("must be a date such as 2024-05-02, or null"));
        const int year = match.captured(1).toInt();
        const int month = match.captured(2).toInt();
        const int day = match.captured(3).toInt();
        if (!TarnDateTime::IsValid(year, month, day))
            return Fail(key, QStringLiteral("%1 is no date").arg(value.toString()));
        if (year < kPackedDateFirstYear || year > kPackedDateLastYear)
            return Fail(key, QStringLiteral("%1 is outside the years Tarn stores, %2 to %3")
                                 .arg(value.toString())
                                 .arg(kPackedDateFirstYear)
                                 .arg(kPackedDateLastYear));
        date = TarnDateTime::FromParts(year, month, day);
        return true;
    }

    static QString Join(const QString& path, const QString& key)
    {
        return path.isEmpty() ? key : path + u'.' + key;
    }
};

bool ReadSource(Reader& r, const QJsonValue& value, SetupFile::Source& source)
{
    QJsonObject o;
    if (!r.Object(value, QStringLiteral("source"), o) ||
        !r.Keys(o, QStringLiteral("source"),
                {"firmwareVersion", "serialNumber", "readTime", "program"}))
        return false;
    const QJsonValue version = o.value(QLatin1String("firmwareVersion"));
    if (!version.isDouble() || version.toDouble() <= 0)
        return r.Fail(QStringLiteral("source.firmwareVersion"),
                      QStringLiteral("must be a version number such as 2.07"));
    source.firmwareVersion = version.toDouble();
    std::optional<std::string> text;
    if (!r.String(o.value(QLatin1String("serialNumber")), QStringLiteral("source.serialNumber"),
                  true, text))
        return false;
    source.serialNumber = text.value_or(std::string());
    static const QRegularExpression timePattern(QRegularExpression::anchoredPattern(
        QStringLiteral("([0-9]{4})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})")));
    const QRegularExpressionMatch m =
        timePattern.match(o.value(QLatin1String("readTime")).toString());
    if (!m.hasMatch() ||
        !TarnDateTime::IsValid(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                               m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt()))
        return r.Fail(QStringLiteral("source.readTime"),
                      QStringLiteral("must be a time such as 2026-12-07T11:30:00"));
    source.readTime = TarnDateTime::FromParts(m.captured(1).toInt(), m.captured(2).toInt(),
                                              m.captured(3).toInt(), m.captured(4).toInt(),
                                              m.captured(5).toInt(), m.captured(6).toInt());
    if (!r.String(o.value(QLatin1String("program")), QStringLiteral("source.program"), false, text))
        return false;
    source.program = *text;
    return true;
}

bool ReadZone(Reader& r, const QJsonValue& value, int index, SetupFile::Zone& zone)
{
    const QString path = QStringLiteral("zones[%1]").arg(index);
    QJsonObject o;
    if (!r.Object(value, path, o) || !r.Keys(o, path, {"zone", "profile", "message", "outputs"}))
        return false;
    long long number = 0;
    if (!r.Integer(o.value(QLatin1String("zone")), path + QStringLiteral(".zone"), index + 1,
                   index + 1, number))
        return false;
    QJsonObject profile;
    const QString profilePath = path + QStringLiteral(".profile");
    if (!r.Object(o.value(QLatin1String("profile")), profilePath, profile) ||
        !r.Keys(profile, profilePath, {"id", "name", "definition"}) ||
        !r.Integer(profile.value(QLatin1String("id")), profilePath + QStringLiteral(".id"),
                   SetupFile::kMinProfileId, SetupFile::kMaxProfileId, number))
        return false;
    zone.profileId = static_cast<int32_t>(number);
    if (!r.String(profile.value(QLatin1String("name")), profilePath + QStringLiteral(".name"), true,
                  zone.profileName) ||
        !r.String(profile.value(QLatin1String("definition")),
                  profilePath + QStringLiteral(".definition"), true, zone.profileDefinition))
        return false;
    // A definition that Tarn cannot hold whole would be written cut.
    if (zone.profileDefinition) {
        const std::string tooLong =
            SetupBlocks::CompiledLengthError(CompileProfile(*zone.profileDefinition));
        if (!tooLong.empty())
            return r.Fail(profilePath + QStringLiteral(".definition"),
                          QString::fromStdString(tooLong));
    }
    if (!r.Integer(o.value(QLatin1String("message")), path + QStringLiteral(".message"), 0,
                   SetupFile::kMaxByte, number))
        return false;
    zone.message = static_cast<int>(number);
    const QString outputsPath = path + QStringLiteral(".outputs");
    const QJsonValue outputs = o.value(QLatin1String("outputs"));
    if (!outputs.isArray())
        return r.Fail(outputsPath, QStringLiteral("must be a list of output numbers 1 to 4"));
    zone.outputs.clear();
    for (const QJsonValue& output : outputs.toArray()) {
        if (!r.Integer(output, outputsPath, 1, SetupFile::kOutputsPerZone, number))
            return false;
        if (std::find(zone.outputs.begin(), zone.outputs.end(), number) != zone.outputs.end())
            return r.Fail(outputsPath, QStringLiteral("output %1 is listed twice").arg(number));
        zone.outputs.push_back(static_cast<int>(number));
    }
    std::sort(zone.outputs.begin(), zone.outputs.end());
    return true;
}

/// The setup in `root`; false after the reader has kept the refusal.
bool ReadSetup(Reader& r, const QJsonObject& root, SetupFile::Setup& read)
{
    // The format and its version first: a newer version may have keys this one does not know.
    if (root.value(QLatin1String("format")).toString() != QLatin1String(SetupFile::kFormat))
        return r.Fail(QStringLiteral("format"),
                      QStringLiteral("not \"%1\": this is not a Tarn setup file")
                          .arg(QLatin1String(SetupFile::kFormat)));
    long long version = 0;
    const QJsonValue versionValue = root.value(QLatin1String("formatVersion"));
    if (!r.Integer(versionValue, QStringLiteral("formatVersion"), 1, 1'000'000, version))
        return false;
    if (version > SetupFile::kFormatVersion)
        return r.Fail(QStringLiteral("formatVersion"),
                      QStringLiteral("version %1 is newer than this program reads (up to %2)")
                          .arg(version)
                          .arg(SetupFile::kFormatVersion));
    if (!r.Keys(root, QString(),
                {"format", "formatVersion", "source", "delays", "zones", "detectorVoltageSwitch",
                 "dates", "factory"}) ||
        !ReadSource(r, root.value(QLatin1String("source")), read.source))
        return false;

    QJsonObject delays;
    if (!r.Object(root.value(QLatin1String("delays")), QStringLiteral("delays"), delays) ||
        !r.Keys(delays, QStringLiteral("delays"),
                {"detectorAlarm", "detectorReset", "manualAlarm", "manualStop"}) ||
        !r.Byte(delays.value(QLatin1String("detectorAlarm")),
                QStringLiteral("delays.detectorAlarm"), read.detectorAlarmDelay) ||
        !r.Byte(delays.value(QLatin1String("detectorReset")),
                QStringLiteral("delays.detectorReset"), read.detectorResetDelay) ||
        !r.Byte(delays.value(QLatin1String("manualAlarm")), QStringLiteral("delays.manualAlarm"),
                read.manualAlarmDelay) ||
        !r.Byte(delays.value(QLatin1String("manualStop")), QStringLiteral("delays.manualStop"),
                read.manualStopDelay))
        return false;

    const QJsonValue zones = root.value(QLatin1String("zones"));
    if (!zones.isArray() || zones.toArray().size() != SetupFile::kZones)
        return r.Fail(QStringLiteral("zones"), QStringLiteral("must be a list of 3 zones"));
    for (int z = 0; z < SetupFile::kZones; ++z) {
        if (!ReadZone(r, zones.toArray().at(z), z, read.zones[static_cast<std::size_t>(z)]))
            return false;
    }
    long long number = 0;
    if (!r.Integer(root.value(QLatin1String("detectorVoltageSwitch")),
                   QStringLiteral("detectorVoltageSwitch"), SetupFile::kMinVoltageSwitch,
                   SetupFile::kMaxVoltageSwitch, number))
        return false;
    read.detectorVoltageSwitch = static_cast<int>(number);

    const bool oldFirmware = read.source.firmwareVersion < StatusCycle::kAdminDataVersion;
    const QString oldReason =
        QStringLiteral("firmware %1 has no dates and no serial number (they need 2.07 or later)")
            .arg(DisplayFormat::Version(read.source.firmwareVersion));
    const QJsonValue factoryValue = root.value(QLatin1String("factory"));
    if (!factoryValue.isNull()) {
        if (oldFirmware)
            return r.Fail(QStringLiteral("factory"), oldReason);
        QJsonObject factory;
        if (!r.Object(factoryValue, QStringLiteral("factory"), factory) ||
            !r.Keys(factory, QStringLiteral("factory"), {"serialNumber", "manufactured"}))
            return false;
        read.hasFactory = true;
        // As the program writes it: digits, no blanks, no leading zero.
        static const QRegularExpression serialPattern(
            QRegularExpression::anchoredPattern(QStringLiteral("[1-9][0-9]{0,8}")));
        const QJsonValue serial = factory.value(QLatin1String("serialNumber"));
        if (!serial.isNull()) {
            if (!serial.isString() || !serialPattern.match(serial.toString()).hasMatch())
                return r.Fail(QStringLiteral("factory.serialNumber"),
                              QStringLiteral("must be a text of digits, 1 to %1, or null")
                                  .arg(SetupFields::kMaxSerialNumber));
            read.serialNumber = serial.toString().toUInt();
        }
        if (!r.Date(factory.value(QLatin1String("manufactured")),
                    QStringLiteral("factory.manufactured"), read.manufactured))
            return false;
    }
    const QJsonValue datesValue = root.value(QLatin1String("dates"));
    if (!datesValue.isNull()) {
        if (oldFirmware)
            return r.Fail(QStringLiteral("dates"), oldReason);
        QJsonObject dates;
        if (!r.Object(datesValue, QStringLiteral("dates"), dates) ||
            !r.Keys(dates, QStringLiteral("dates"), {"installed", "lastService", "serviceBefore"}))
            return false;
        read.hasDates = true;
        if (!r.Date(dates.value(QLatin1String("installed")), QStringLiteral("dates.installed"),
                    read.installed) ||
            !r.Date(dates.value(QLatin1String("lastService")), QStringLiteral("dates.lastService"),
                    read.lastService) ||
            !r.Date(dates.value(QLatin1String("serviceBefore")),
                    QStringLiteral("dates.serviceBefore"), read.serviceBefore))
            return false;
    }
    return true;
}

} // namespace

std::string SetupFile::DateText(const TarnDateTime& date)
{
    return QStringLiteral("%1-%2-%3")
        .arg(date.Year(), 4, 10, QLatin1Char('0'))
        .arg(date.Month(), 2, 10, QLatin1Char('0'))
        .arg(date.Day(), 2, 10, QLatin1Char('0'))
        .toStdString();
}

uint8_t SetupFile::OutputsByte(const std::vector<int>& outputs)
{
    uint8_t byte = 0;
    for (const int output : outputs)
        byte = static_cast<uint8_t>(byte | (1u << (output - 1)));
    return byte;
}

std::vector<int> SetupFile::OutputNumbers(uint8_t byte)
{
    std::vector<int> numbers;
    for (int output = 1; output <= kOutputsPerZone; ++output) {
        if (byte & (1u << (output - 1)))
            numbers.push_back(output);
    }
    return numbers;
}

SetupFile::Setup SetupFile::FromController(const Tarn_Inputs& inputs, int16_t voltageSwitch,
                                           const KeyedCollection<Tarn_Profile>& catalogue,
                                           const TarnDateTime& readTime, const std::string& program)
{
    Setup setup;
    setup.source.firmwareVersion = inputs.CPUVersion;
    setup.source.readTime = readTime;
    setup.source.program = program;
    setup.detectorAlarmDelay = static_cast<int>(std::lround(inputs.DetectorAlarmDelay));
    setup.detectorResetDelay = static_cast<int>(std::lround(inputs.DetectorResetDelay));
    setup.manualAlarmDelay = static_cast<int>(std::lround(inputs.ManualAlarmDelay));
    setup.manualStopDelay = static_cast<int>(std::lround(inputs.ManualStopDelay));
    for (int16_t z = 0; z < kZones; ++z) {
        Zone& zone = setup.zones[static_cast<std::size_t>(z)];
        zone.profileId = inputs.ProfileID(z);
        if (const Tarn_Profile* profile = catalogue.Find(DecimalText(zone.profileId))) {
            zone.profileName = profile->Name;
            // One longer than Tarn holds is not what the zone runs, and could not be written.
            if (SetupBlocks::CompiledLengthError(CompileProfile(profile->Profile)).empty())
                zone.profileDefinition = profile->Profile;
        }
        zone.message = inputs.Messages(z);
        // The setup window shows and writes outputs 1 to 4 only.
        zone.outputs = OutputNumbers(inputs.OutPuts(z));
    }
    setup.detectorVoltageSwitch = voltageSwitch;
    if (inputs.CPUVersion >= StatusCycle::kAdminDataVersion) {
        setup.source.serialNumber = inputs.SerialNumber;
        setup.hasDates = true;
        setup.installed = KnownDate(inputs.Installed);
        setup.lastService = KnownDate(inputs.LastService);
        setup.serviceBefore = KnownDate(inputs.LastService2);
        setup.hasFactory = true;
        uint32_t serial = 0;
        std::string errText;
        if (SetupFields::SerialNumber(inputs.SerialNumber, serial, errText))
            setup.serialNumber = serial;
        setup.manufactured = KnownDate(inputs.Manufactured);
    }
    return setup;
}

std::string SetupFile::Write(const Setup& setup)
{
    QJsonObject root;
    root.insert(QStringLiteral("format"), QLatin1String(kFormat));
    root.insert(QStringLiteral("formatVersion"), kFormatVersion);
    root.insert(
        QStringLiteral("source"),
        QJsonObject{
            {QStringLiteral("firmwareVersion"), setup.source.firmwareVersion},
            {QStringLiteral("serialNumber"), setup.source.serialNumber.empty()
                                                 ? QJsonValue()
                                                 : QJsonValue(Text(setup.source.serialNumber))},
            {QStringLiteral("readTime"), QString::fromStdString(TimeText(setup.source.readTime))},
            {QStringLiteral("program"), Text(setup.source.program)}});
    root.insert(QStringLiteral("delays"),
                QJsonObject{{QStringLiteral("detectorAlarm"), setup.detectorAlarmDelay},
                            {QStringLiteral("detectorReset"), setup.detectorResetDelay},
                            {QStringLiteral("manualAlarm"), setup.manualAlarmDelay},
                            {QStringLiteral("manualStop"), setup.manualStopDelay}});
    QJsonArray zones;
    for (int z = 0; z < kZones; ++z) {
        const Zone& zone = setup.zones[static_cast<std::size_t>(z)];
        QJsonArray outputs;
        for (const int output : zone.outputs)
            outputs.append(output);
        const auto optionalText = [](const std::optional<std::string>& text) {
            return text ? QJsonValue(Text(*text)) : QJsonValue();
        };
        zones.append(QJsonObject{
            {QStringLiteral("zone"), z + 1},
            {QStringLiteral("profile"),
             QJsonObject{{QStringLiteral("id"), zone.profileId},
                         {QStringLiteral("name"), optionalText(zone.profileName)},
                         {QStringLiteral("definition"), optionalText(zone.profileDefinition)}}},
            {QStringLiteral("message"), zone.message},
            {QStringLiteral("outputs"), outputs}});
    }
    root.insert(QStringLiteral("zones"), zones);
    root.insert(QStringLiteral("detectorVoltageSwitch"), setup.detectorVoltageSwitch);
    root.insert(QStringLiteral("dates"),
                setup.hasDates
                    ? QJsonValue(QJsonObject{
                          {QStringLiteral("installed"), DateValue(setup.installed)},
                          {QStringLiteral("lastService"), DateValue(setup.lastService)},
                          {QStringLiteral("serviceBefore"), DateValue(setup.serviceBefore)}})
                    : QJsonValue());
    root.insert(QStringLiteral("factory"),
                setup.hasFactory
                    ? QJsonValue(QJsonObject{
                          {QStringLiteral("serialNumber"),
                           setup.serialNumber ? QJsonValue(QString::number(*setup.serialNumber))
                                              : QJsonValue()},
                          {QStringLiteral("manufactured"), DateValue(setup.manufactured)}})
                    : QJsonValue());
    return (Indented(root, 0) + '\n').toStdString();
}

bool SetupFile::Read(std::string_view bytes, Setup& setup, std::string& errText)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        errText = parseError.error != QJsonParseError::NoError
                      ? "not a JSON document: " + parseError.errorString().toStdString() +
                            " at byte " + std::to_string(parseError.offset)
                      : std::string("not a setup file: the document is not a JSON object");
        return false;
    }
    Reader r;
    Setup read;
    if (!ReadSetup(r, document.object(), read)) {
        errText = r.errText;
        return false;
    }
    setup = std::move(read);
    return true;
}
