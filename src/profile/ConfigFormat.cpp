#include "profile/ConfigFormat.h"

#include "base/CodePage.h"
#include "base/FailureText.h"
#include "base/TextFile.h"
#include "base/Texts.h"

#include <array>

namespace kestrane {

std::string FormatRecord(const ConfigRecord& record) {
    std::string line;
    for (const std::wstring* value : {&record.Name, &record.State, &record.StartMode, &record.DisplayName}) {
        if (!line.empty()) line += ',';
        std::optional<std::string> field = QuotedField(ToAnsi(*value));
        if (!field) throw UserError(texts::kRecordNotWritable + record.Name + L" : " + *value);
        line += *field;
    }
    line += "\r\n";
    return line;
}

std::vector<ConfigRecord> ParseConfig(std::string_view bytes) {
    std::vector<ConfigRecord> records;
    bool utf8 = TakeUtf8Mark(bytes);
    FieldReader reader(bytes);
    while (!reader.AtEnd()) {
        std::array<std::wstring, 4> values;
        for (std::wstring& value : values) {
            std::optional<FieldReader::Field> field = reader.Next();
            if (!field) return records;  // the data ended inside this record
            value = FieldText(field->text, utf8);
        }
        records.push_back({std::move(values[0]), std::move(values[1]), std::move(values[2]), std::move(values[3])});
    }
    return records;
}

bool EndsInsideRecord(std::string_view bytes) {
    TakeUtf8Mark(bytes);
    FieldReader reader(bytes);
    while (!reader.AtEnd()) {
        bool holdsSomething = false;
        for (int i = 0; i < 4; ++i) {
            std::optional<FieldReader::Field> field = reader.Next();
            if (!field) return holdsSomething;
            for (char c : field->text)
                if (!IsBlank(c)) holdsSomething = true;
        }
    }
    return false;
}

void AppendConfigRecord(const std::wstring& file, const ConfigRecord& record) {
    AppendFileBytes(file, FormatRecord(record));
}

std::vector<ConfigRecord> ReadConfigFile(const std::wstring& file) { return ParseConfig(ReadFileBytes(file)); }

std::wstring DefaultConfigName(int day, int month, int year) {
    return std::to_wstring(day) + L"-" + std::to_wstring(month) + L"-" + std::to_wstring(year);
}

bool IsConfigFileName(std::wstring_view fileName) {
    constexpr std::wstring_view kExtension = L".cfg";
    for (size_t start = 0; start + kExtension.size() <= fileName.size(); ++start) {
        bool match = true;
        for (size_t i = 0; i < kExtension.size() && match; ++i) {
            wchar_t c = fileName[start + i];
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
            match = c == kExtension[i];
        }
        if (match) return true;
    }
    return false;
}

}  // namespace kestrane
